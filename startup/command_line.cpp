#include "startup/command_line.h"

#include <FL/Fl.H>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/version.h"

namespace {

TNCommandLineAction requested = TNCommandLineAction::Run;

// Called by the toolkit for each argument before its own options: takes the program's own.
int tnOwnOption(int, char** argv, int& i)
{
    if (strcmp(argv[i], "--help") == 0 || strcmp(argv[i], "-h") == 0)
        requested = TNCommandLineAction::Help;
    else if (strcmp(argv[i], "--version") == 0)
        requested = TNCommandLineAction::Version;
    else
        return 0;
    i++;
    return 1;
}

void tnPrintUsage(FILE* out)
{
    fprintf(out,
            "Usage: tandrel [options]\n"
            "A desktop VNC client that keeps many connections open at once.\n\n"
            "  -h, --help     show this text and exit\n"
            "      --version  show the version and exit\n\n"
            "The toolkit's standard options (see tandrel(1)):\n%s\n",
            Fl::help);
}

} // namespace

TNCommandLine tnParseCommandLine(int argc, char** argv)
{
    requested = TNCommandLineAction::Run;
    TNCommandLine result;
    int next = 1;
    if (argc > 1 && Fl::args(argc, argv, next, tnOwnOption) < argc) {
        result.action = TNCommandLineAction::Refuse;
        result.badIndex = next;
        return result;
    }
    result.action = requested;
    return result;
}

void tnHandleCommandLine(int argc, char** argv)
{
    const TNCommandLine line = tnParseCommandLine(argc, argv);
    switch (line.action) {
    case TNCommandLineAction::Run:
        return;
    case TNCommandLineAction::Help:
        tnPrintUsage(stdout);
        exit(0);
    case TNCommandLineAction::Version:
        printf("Tandrel %s\n", TN_VERSION);
        exit(0);
    case TNCommandLineAction::Refuse:
        if (line.badIndex > 0 && line.badIndex < argc)
            fprintf(stderr, "tandrel: unknown option or argument '%s'\n", argv[line.badIndex]);
        tnPrintUsage(stderr);
        exit(1);
    }
}
