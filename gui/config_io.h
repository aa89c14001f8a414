// The program's operations on its configuration file: the options and the host list.
#pragma once

// Reads the file into the options and the host list (a missing file: the directory is made).
void tnConfigReadCreateHostList();
// Makes the configuration directory when it is missing; when it cannot, says so in a box
// and exits with status 255.
void tnCreateConfigDirOrExit();
// Writes the options and the host list's hosts back (never a file that could not be read).
void tnConfigWrite();
