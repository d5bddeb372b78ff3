// Helpers shared by the fuzz targets: a private temporary installation
// directory for readers that only take a fixed path, and a fake driver.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kvlfuzz {

// The target's installation directory: a fresh temporary folder with an etc/
// inside, made on first use and removed when the process exits.
const char *install_dir();

// Replaces install_dir()/rel with the bytes of data. Aborts when the file
// cannot be written, since every later input would test nothing.
void put_file(const char *rel, const uint8_t *data, size_t size);

// Writes the input as install_dir()/rel, resets audcore's state to the fake
// installation and driver, and runs one start-up reader of that file.
void run_start_reader(const char *rel, const uint8_t *data, size_t size, void (*reader)());

// Descriptor that the fake driver answers: every request on it succeeds and
// changes nothing; requests on any other descriptor fail with EBADF.
constexpr int FAKE_CONTROL_FD = 1000;

}  // namespace kvlfuzz
