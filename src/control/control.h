// The control device /dev/mixer0: every driver request of audcore and
// audpanel goes to it. The program's entry owns one ControlDevice for its
// whole run and passes it to whatever talks to the driver.
#pragma once

#include <cstdint>

namespace kvl {

struct ControlDevice {
  int fd = -1;        // /dev/mixer0 opened read-write; -1 while not open
  int major = 0;      // the driver's major number, 0 until known
  int no_driver = 0;  // 1 when there is no driver to talk to
  int open_error = 0; // errno of an optional open that failed, else 0
};

// Opens /dev/mixer0 read-write and learns the major number. When optional,
// a failing open sets no_driver and open_error and returns 0. Returns -1 after printing a
// fatal error on standard error ("Open /dev/mixer0: error text", "Can't fstat
// /dev/mixer0: error text", "Error: /dev/mixer0 is not a character device").
int control_open(ControlDevice &dev, bool optional);

// Closes the device and sets no_driver: later requests fail with ENODEV.
void control_close(ControlDevice &dev);

// Sends one request. Returns the driver's result (0 or more), or -1 with
// errno set (ENODEV without an open device). Prints nothing.
int control_send(const ControlDevice &dev, uint32_t code, void *record);

// control_send, printing "LABEL: error text" with the request's label on
// standard error when it fails; errno is kept.
int control_request(const ControlDevice &dev, uint32_t code, void *record);

}  // namespace kvl
