// The program's operations on its configuration file: the options and the host list.
#pragma once

// Reads the file into the options and the host list (a missing file: the directory is made).
void tnConfigReadCreateHostList();
// Writes the options and the host list's hosts back (never a file that could not be read).
void tnConfigWrite();
