#pragma once
// Keeps a serial port this process's own for longer than one opening: a whole
// command, a whole search, a whole read.
//
// A reservation names a port. It takes nothing by itself: the first opening
// of that port while it lives opens the device as any opening does (with its
// checks and its reasons for a refusal), and from then on this process holds
// the device - on POSIX the descriptor with its flock and its exclusive flag,
// on Windows the exclusive handle - until the last reservation of the port
// ends. Every KvSerialPort of this process that opens the port meanwhile
// works on the held device instead of opening it anew, and its Close lets the
// device go only when no reservation holds it any more. Other processes are
// refused as busy for the whole time. Reservations of one port nest: they are
// counted. A device found gone (an adapter unplugged) is dropped, and the
// next opening opens the port anew. Virtual ports are counted and otherwise
// left alone.
#include <memory>
#include <string>

#include "KvString.h"

// The device as this process holds it; defined by each platform's port.
class KvHeldDevice;

class KvPortReservation {
public:
    // Reserves nothing (until MoveTo).
    KvPortReservation() = default;
    explicit KvPortReservation(const KvString& portName);
    ~KvPortReservation();
    KvPortReservation(const KvPortReservation&) = delete;
    KvPortReservation& operator=(const KvPortReservation&) = delete;

    // Reserves `portName` instead (the next unit of a bench on another port);
    // the port reserved so far is let go unless another reservation counts
    // it. The same name again keeps what is held; "" reserves nothing.
    void MoveTo(const KvString& portName);
    void Release() { MoveTo(""); }

    const std::string& PortName() const { return name_; }
    // True while the device of the port is held (from its first opening).
    bool Holds() const;

private:
    std::string name_;
};

// What KvSerialPort asks of the reservations. Names compare as the ports do:
// "COM3" and "com3" are one port; a device path is compared exactly.
namespace KvPortReservations {
bool Reserved(const std::string& portName);
// The device held for a reserved port; null before its first opening.
std::shared_ptr<KvHeldDevice> Held(const std::string& portName);
// A reserved port has been opened: its device is held from now on.
void Hold(const std::string& portName, const std::shared_ptr<KvHeldDevice>& device);
// The device has gone: no reservation holds it any more.
void Forget(const KvHeldDevice* device);
}  // namespace KvPortReservations
