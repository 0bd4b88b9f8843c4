#pragma once
#include "ResourceIds.h"

// The main frame's menu commands: which are available. Decided without a
// toolkit so that every front-end enables its menu the same way.
//
// - the four device commands of the Tools menu (ID_TOOLS_INITIALIZE,
//   ID_MODE_TRANSPARENT_MASTER, ID_MODE_TRANSPARENT_SLAVE,
//   ID_MODE_CANCEL_TRANSPARENT): exactly while the document has a device;
// - the profile commands 開く..., 上書き保存 and 名前を付けて保存...: likewise,
//   as the form shows a module's values and 設定 can write them only then
//   (a scan would replace whatever was opened before it);
// - 透過モード脱出 (ID_MODE_ESCAPE_TRANSPARENT), About and Exit: always;
// - 新規作成, the print commands, the Edit commands and the recent-file
//   placeholder: never (the program keeps no file list and prints nothing);
// - any other number: never.
bool IsMenuCommandEnabled(int commandId, bool hasDevice);

// The four Tools commands whose state follows the device, in menu order.
inline constexpr int kDeviceCommandIds[4] = {ID_TOOLS_INITIALIZE, ID_MODE_TRANSPARENT_MASTER, ID_MODE_TRANSPARENT_SLAVE,
                                             ID_MODE_CANCEL_TRANSPARENT};
