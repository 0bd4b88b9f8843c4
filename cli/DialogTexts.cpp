#include "DialogTexts.h"

#include "Language.h"
#include "ResourceIds.h"

namespace {

const char kCommError[] = N_("Serial communication error");
const char kEscapeAdvice[] =
    N_("a module in transparent mode takes the escape string only in the first 30 s after power-up: power it "
       "up again and run 'tarnik escape' at once");
const char kHardReset[] = N_("when the module's line settings are unknown, a hard reset of the module is advised");

#ifdef _WIN32
const char kWhichPort[] =
    N_("is this the module's COM port? 'tarnik ports' lists them; the Device Manager shows a USB adapter's COM "
       "number under 'Ports (COM & LPT)'");
#else
const char kWhichPort[] =
    N_("is this the module's port? 'tarnik ports' lists the serial devices (a USB adapter appears as /dev/ttyUSB0 "
       "or /dev/ttyACM0)");
#endif

const std::vector<CliDialogText>& Dialogs() {
    static const std::vector<CliDialogText> dialogs = {
        {IDD_SCAN, "", {N_("Searching for the Tarnik module's serial line settings...")}, {}, nullptr},
        {IDD_LOADING, "", {N_("Reading the settings...")}, {}, nullptr},
        {IDD_SETTING, "", {N_("Writing the settings...")}, {}, nullptr},
        {IDD_INITIALIZING, "", {N_("Initializing...")}, {}, nullptr},
        {IDD_ESCAPING, "", {N_("Sending the escape string...")}, {}, nullptr},
        {IDD_OPEN_ERROR,
         kCommError,
         {N_("Cannot open the serial port.")},
         {kWhichPort, N_("is another program using the port? close it and try again")},
         nullptr},
        {IDD_COMM_ERROR,
         kCommError,
         {N_("An error occurred in the communication with the Tarnik module.")},
         {N_("is the module powered, and the cable (a crossed one for the PX-300 and the evaluation kit) firmly in?"),
          N_("was another module connected meanwhile? run the command again: it searches the port afresh")},
         nullptr},
        // Whether the module refused the request or the line failed is told
        // afterwards, with the hints that fit.
        {IDD_SET_ERROR,
         N_("Setting error"),
         {N_("An error occurred in the communication with the Tarnik module while writing the settings.")},
         {N_("The settings may be incomplete.")},
         nullptr},
        {IDD_SET_CONFIRM,
         N_("Confirm the settings"),
         {N_("The Tarnik module's settings will be changed."),
          N_("The changes take effect as soon as they are written.")},
         {},
         N_("Write")},
        {IDD_SET_DONE, N_("Settings written"), {N_("The settings were changed.")}, {}, nullptr},
        {IDD_INIT_CONFIRM,
         N_("Confirm the initialization"),
         {N_("The Tarnik module's settings will be returned to their factory state.")},
         {N_("all settings return to their factory values; they are read again afterwards")},
         N_("Initialize")},
        {IDD_MASTER_MODE,
         N_("Transparent mode (master)"),
         {N_("This Tarnik module will be set as the master of transparent mode.")},
         {N_("the frequency and the serial line settings must be the same on the master and the slave"),
          N_("the module changes to transparent mode when it is powered up again; until then 'tarnik mode standard' "
             "cancels it"),
          N_("the module's address is set to 0")},
         N_("Set as master")},
        {IDD_SLAVE_MODE,
         N_("Transparent mode (slave)"),
         {N_("This Tarnik module will be set as a slave of transparent mode.")},
         {N_("the frequency and the serial line settings must be the same on the master and the slave"),
          N_("the module changes to transparent mode when it is powered up again; until then 'tarnik mode standard' "
             "cancels it"),
          N_("the module's address is set to 1")},
         N_("Set as slave")},
        {IDD_STANDARD_MODE,
         N_("Change to standard mode"),
         {N_("This Tarnik module's operating mode returns to standard (packet mode).")},
         {N_("a module already running in transparent mode cannot be brought back this way: use 'tarnik escape'"),
          N_("a module set for transparent mode has the address 0 or 1: set the right one again")},
         N_("Back to standard mode")},
        {IDD_ESCAPE,
         N_("Escape transparent mode"),
         {N_("The escape string of transparent mode will be sent.")},
         {N_("the line settings (--line) must be those of the module in transparent mode"), kHardReset, kEscapeAdvice},
         N_("Send the escape string")},
        {IDD_ESCAPE_DONE, N_("Transparent mode left"), {N_("The module has left transparent mode.")}, {}, nullptr},
        {IDD_ESCAPE_FAILED,
         N_("Escape failed"),
         {N_("Escaping transparent mode failed.")},
         {kEscapeAdvice, N_("are the line settings (--line) right?"), kHardReset},
         N_("Retry")},
    };
    return dialogs;
}

}  // namespace

const CliDialogText* CliDialog(int dialogId) {
    for (const CliDialogText& dialog : Dialogs()) {
        if (dialog.id == dialogId) return &dialog;
    }
    return nullptr;
}

const char* CliMessage(int stringId) {
    switch (stringId) {
    case IDS_DEVICE_NOT_FOUND: return N_("No Tarnik module found.");
    case IDS_MODE_MASTER: return N_("Set for transparent mode (master).");
    case IDS_MODE_SLAVE: return N_("Set for transparent mode (slave).");
    case IDS_PINS_LOCKED_TRANSPARENT:
        return N_("The pin functions of a module set for transparent mode cannot be changed.");
    case IDS_PINS_FIXED_MODEL: return N_("This Tarnik module is a model whose I/O pin functions are fixed.");
    default: return nullptr;
    }
}
