#pragma once
// Finding the module when its line settings are known: one probe at those
// settings, and the full search only when nothing answers there.
#include <optional>

#include "CVelmoraDoc.h"
#include "SerialSettings.h"
#include "WorkflowHost.h"

struct FoundModule {
    bool found = false;
    bool atGivenLine = false;  // found by the probe at the given settings, without a search
    SerialSettings line;       // the settings the module answered at (when found)
};

// Finds the module on the document's port. With `line`: the serial-number
// query once at `line` (as one step of the search asks it, in about one
// per-byte time-out when nothing answers); when that brings no serial number,
// or the port fails, the full search of CVelmoraDoc::Scan, which reports a
// port that cannot be opened or a module that is not there through the host.
// Without `line`: the full search alone. When found, the document owns a new
// device whose conduit talks at the settings that answered (per-call mode),
// exactly as after a successful search, and the views have been told to update.
FoundModule FindModuleTryingLine(CVelmoraDoc& doc, WorkflowHost& host, const std::optional<SerialSettings>& line);
