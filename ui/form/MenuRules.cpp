#include "MenuRules.h"

bool IsMenuCommandEnabled(int commandId, bool hasDevice) {
    switch (commandId) {
    case ID_TOOLS_INITIALIZE:
    case ID_MODE_TRANSPARENT_MASTER:
    case ID_MODE_TRANSPARENT_SLAVE:
    case ID_MODE_CANCEL_TRANSPARENT:
    case ID_FILE_OPEN_:
    case ID_FILE_SAVE_:
    case ID_FILE_SAVE_AS_: return hasDevice;
    case ID_MODE_ESCAPE_TRANSPARENT:
    case ID_APP_ABOUT:
    case ID_APP_EXIT: return true;
    default: return false;
    }
}
