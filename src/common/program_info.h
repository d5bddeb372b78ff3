// --help and --version of the package's programs.
#pragma once

namespace kvl {

// The package's version (X.Y.Z), given by the build.
extern const char PACKAGE_VERSION[];

// When arg is exactly "--help" or "--version": prints usage (the whole text,
// ending in a newline) or "NAME (Kelvane) VERSION" on standard output and
// returns 1. Otherwise (arg null too) prints nothing and returns 0.
int print_program_info(const char *arg, const char *name, const char *usage);

}  // namespace kvl
