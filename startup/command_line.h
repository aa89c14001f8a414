// The command line: the toolkit's standard options, --help and --version.
#pragma once

enum class TNCommandLineAction { Run, Help, Version, Refuse };

struct TNCommandLine {
    TNCommandLineAction action = TNCommandLineAction::Run;
    int badIndex = 0; // Refuse: the argument that is no option the toolkit knows
};

// Hands the toolkit its options (-display, -geometry, -scheme, ...; it applies them when
// the main window is shown) and tells what the program should do.
TNCommandLine tnParseCommandLine(int argc, char** argv);

// Parses the command line before anything else: prints the usage and exits with status 0
// for --help, the version for --version, and the usage on standard error with status 1
// for anything the toolkit does not know (an unknown option, a missing value, any other
// argument).
void tnHandleCommandLine(int argc, char** argv);
