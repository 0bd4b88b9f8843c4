#include "KvPortDiscovery.h"

std::string KvDescribePort(const KvPortInfo& port) {
    std::string text = port.vendor;
    // "FTDI" and "FTDI FT232R USB UART" would say the maker twice.
    if (!port.product.empty()) {
        if (text.empty() || port.product.rfind(text, 0) == 0) {
            text = port.product;
        } else {
            text += " " + port.product;
        }
    }
    if (!port.serialNumber.empty()) text += (text.empty() ? "serial number " : ", serial number ") + port.serialNumber;
    if (text.empty() && KvIsBuiltInPort(port)) text = "built-in serial port";
    if (!port.driver.empty()) text += (text.empty() ? "(" : " (") + port.driver + ")";
    return text;
}
