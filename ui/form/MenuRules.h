#pragma once
#include "ResourceIds.h"

// The main frame's menu commands: which are available. Decided without a
// toolkit so that every front-end enables its menu the same way.
//
// - the four device commands of the Tools menu (ID_TOOLS_INITIALIZE,
//   ID_MODE_TRANSPARENT_MASTER, ID_MODE_TRANSPARENT_SLAVE,
//   ID_MODE_CANCEL_TRANSPARENT): exactly while the document has a device;
// - 透過モード脱出 (ID_MODE_ESCAPE_TRANSPARENT), About and Exit: always;
// - the framework's File and Edit commands and the recent-file placeholder:
//   never (nothing in the program handles them);
// - any other number: never.
bool IsMenuCommandEnabled(int commandId, bool hasDevice);

// The four commands whose state follows the device, in menu order.
inline constexpr int kDeviceCommandIds[4] = {ID_TOOLS_INITIALIZE, ID_MODE_TRANSPARENT_MASTER, ID_MODE_TRANSPARENT_SLAVE,
                                             ID_MODE_CANCEL_TRANSPARENT};
