// The two operations of the program: R writes a unit's settings as a data file, W applies one.
#pragma once

// Writes the data file to `path`, or to the console when `path` is null. 0 when the whole file
// was written (whatever single settings failed), 1 when it could not be.
int retrieveSettings(const wchar_t* path);

// Applies the data file at `path` to the unit. 0 when the whole file was read, 1 when it could
// not be opened or read, when it is no 8-bit text with LF or CR LF line ends or names no
// section, or when the service is not available.
int changeSettings(const wchar_t* path);
