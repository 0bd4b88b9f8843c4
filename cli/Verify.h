#pragma once
// Checking a write: what the module reads back against what was written.
#include <string>
#include <vector>

#include "CVelmoraDoc.h"
#include "DeviceSettings.h"

// The fields of `intended` that `readBack` does not show, by the names a
// profile uses: "address", "channel", "baudRate", "dataBits", "parity",
// "stopBits", "pins". The pin functions are left out when the model's are
// fixed (nothing was sent for them). Empty when everything took.
std::vector<std::string> FieldsNotTaken(const DeviceSettings& intended, const DeviceSettings& readBack,
                                        bool pinsFixed);

// "address, pins": the names joined for a message.
std::string JoinFieldNames(const std::vector<std::string>& names);

// After a write: runs the read workflow on the document's device, pulls the
// values into the document's record (as the settings window does) and names
// the fields of `intended` that did not take. Returns false when the read
// failed; the workflow has then reported why through the document's host, the
// document has dropped the device, and `notTaken` is left empty.
bool ReadBackAndCompare(CVelmoraDoc& doc, const DeviceSettings& intended, std::vector<std::string>& notTaken);
