// Status icons of the host-list lines: a normal set and a colour-blind set that tells
// the states apart by glyph and shade of grey alone.
#pragma once

static const char* const pmStatusDisconnected[] = {
    "16 16 2 1",
    "  c None",
    "a c #D5D5D5",
    "                ",
    "     aaaaaa     ",
    "    aaaaaaaa    ",
    "   aaaaaaaaaa   ",
    "  aaaaaaaaaaaa  ",
    " aaaaaaaaaaaaaa ",
    " aaaaaaaaaaaaaa ",
    " aaaaaaaaaaaaaa ",
    " aaaaaaaaaaaaaa ",
    " aaaaaaaaaaaaaa ",
    " aaaaaaaaaaaaaa ",
    "  aaaaaaaaaaaa  ",
    "   aaaaaaaaaa   ",
    "    aaaaaaaa    ",
    "     aaaaaa     ",
    "                "
};

static const char* const pmStatusDisconnectedError[] = {
    "16 16 3 1",
    "  c None",
    "a c #D4D4D4",
    "y c #F3F16E",
    "                ",
    "     aaaaaa     ",
    "    aaaaaaaa    ",
    "   aaayyyyaaa   ",
    "  aaayyyyyyaaa  ",
    " aaayyyyyyyyaaa ",
    " aayyyyyyyyyyaa ",
    " aayyyyyyyyyyaa ",
    " aayyyyyyyyyyaa ",
    " aayyyyyyyyyyaa ",
    " aaayyyyyyyyaaa ",
    "  aaayyyyyyaaa  ",
    "   aaayyyyaaa   ",
    "    aaaaaaaa    ",
    "     aaaaaa     ",
    "                "
};

static const char* const pmStatusDisconnectedBigError[] = {
    "16 16 4 1",
    "  c None",
    "a c #D4D4D4",
    "r c #C07271",
    "w c white",
    "                ",
    "     aaaaaa     ",
    "    aaarraaa    ",
    "   aarrrrrraa   ",
    "  aawwrrrrwwaa  ",
    " aarrwwrrwwrraa ",
    " aarrrwwwwrrraa ",
    " arrrrrwwrrrrra ",
    " arrrrwwwwrrrra ",
    " aarrwwrrwwrraa ",
    " aarwwrrrrwwraa ",
    "  aarrrrrrrraa  ",
    "   aarrrrrraa   ",
    "    aaarraaa    ",
    "     aaaaaa     ",
    "                "
};

static const char* const pmStatusConnected[] = {
    "16 16 2 1",
    "  c None",
    "g c #58BF55",
    "                ",
    "     gggggg     ",
    "    gggggggg    ",
    "   gggggggggg   ",
    "  gggggggggggg  ",
    " gggggggggggggg ",
    " gggggggggggggg ",
    " gggggggggggggg ",
    " gggggggggggggg ",
    " gggggggggggggg ",
    " gggggggggggggg ",
    "  gggggggggggg  ",
    "   gggggggggg   ",
    "    gggggggg    ",
    "     gggggg     ",
    "                "
};

static const char* const pmStatusNoConnect[] = {
    "16 16 2 1",
    "  c None",
    "a c #BFBFBF",
    "                ",
    "     aaaaaa     ",
    "    aaaaaaaa    ",
    "   aaaaaaaaaa   ",
    "  aaaa    aaaa  ",
    " aaaa      aaaa ",
    " aaa        aaa ",
    " aaa        aaa ",
    " aaa        aaa ",
    " aaa        aaa ",
    " aaaa      aaaa ",
    "  aaaa    aaaa  ",
    "   aaaaaaaaaa   ",
    "    aaaaaaaa    ",
    "     aaaaaa     ",
    "                "
};

static const char* const pmStatusConnecting[] = {
    "16 16 5 1",
    "  c None",
    "k c #666666",
    "d c #D5D5D5",
    "e c #E8E8E8",
    "f c #EFEFEF",
    "                ",
    "     dddddd     ",
    "    dddddddd    ",
    "   ddeeeeeedd   ",
    "  ddeeeeeeeedd  ",
    " ddeeeffffeeedd ",
    " ddeeffffffeedd ",
    " ddkkffkkffkkdd ",
    " ddkkffkkffkkdd ",
    " ddeeffffffeedd ",
    " ddeeeffffeeedd ",
    "  ddeeeeeeeedd  ",
    "   ddeeeeeedd   ",
    "    dddddddd    ",
    "     dddddd     ",
    "                "
};

static const char* const pmStatusDisconnectedErrorCB[] = {
    "16 16 4 1",
    "  c None",
    "k c #666666",
    "a c #D4D4D4",
    "l c #EFEFEF",
    "                ",
    "     aaaaaa     ",
    "    aaaaaaaa    ",
    "   aallkkllaa   ",
    "  aalllkklllaa  ",
    " aallllkkllllaa ",
    " aallllkkllllaa ",
    " aallllkkllllaa ",
    " aallllkkllllaa ",
    " aallllkkllllaa ",
    " aallllllllllaa ",
    "  aalllkklllaa  ",
    "   aallkkllaa   ",
    "    aaaaaaaa    ",
    "     aaaaaa     ",
    "                "
};

static const char* const pmStatusDisconnectedBigErrorCB[] = {
    "16 16 4 1",
    "  c None",
    "a c #D4D4D4",
    "b c black",
    "w c white",
    "                ",
    "     aaaaaa     ",
    "    aaabbaaa    ",
    "   aabbbbbbaa   ",
    "  aawwbbbbwwaa  ",
    " aabbwwbbwwbbaa ",
    " aabbbwwwwbbbaa ",
    " abbbbbwwbbbbba ",
    " abbbbwwwwbbbba ",
    " aabbwwbbwwbbaa ",
    " aabwwbbbbwwbaa ",
    "  aabbbbbbbbaa  ",
    "   aabbbbbbaa   ",
    "    aaabbaaa    ",
    "     aaaaaa     ",
    "                "
};

static const char* const pmStatusConnectedCB[] = {
    "16 16 4 1",
    "  c None",
    "k c #666666",
    "a c #D4D4D4",
    "l c #EFEFEF",
    "                ",
    "     aaaaaa     ",
    "    aaaaaaaa    ",
    "   aallllllaa   ",
    "  aallllllllaa  ",
    " aallllllllklaa ",
    " aalllllllkklaa ",
    " aalkllllkkllaa ",
    " aalkkllkklllaa ",
    " aallkkkkllllaa ",
    " aalllkklllllaa ",
    "  aallllllllaa  ",
    "   aallllllaa   ",
    "    aaaaaaaa    ",
    "     aaaaaa     ",
    "                "
};

static const char* const pmStatusNoConnectCB[] = {
    "16 16 4 1",
    "  c None",
    "k c #666666",
    "a c #BFBFBF",
    "l c #EFEFEF",
    "                ",
    "     aaaaaa     ",
    "    aaaaaaaa    ",
    "   aallllllaa   ",
    "  aallllllllaa  ",
    " aallllllllllaa ",
    " aallllllllllaa ",
    " aalkkkkkkkklaa ",
    " aalkkkkkkkklaa ",
    " aallllllllllaa ",
    " aallllllllllaa ",
    "  aallllllllaa  ",
    "   aallllllaa   ",
    "    aaaaaaaa    ",
    "     aaaaaa     ",
    "                "
};

// The colour-blind set shares these two with the normal set.
static const char* const* const pmStatusDisconnectedCB = pmStatusDisconnected;
static const char* const* const pmStatusConnectingCB = pmStatusConnecting;

// Dropped and waiting to try again: the error's yellow with the connecting dots.
static const char* const pmStatusReconnecting[] = {
    "16 16 4 1",
    "  c None",
    "a c #D4D4D4",
    "y c #F3F16E",
    "k c #666666",
    "                ",
    "     aaaaaa     ",
    "    aaaaaaaa    ",
    "   aaayyyyaaa   ",
    "  aaayyyyyyaaa  ",
    " aaayyyyyyyyaaa ",
    " aayyyyyyyyyyaa ",
    " aakkyykkyykkaa ",
    " aakkyykkyykkaa ",
    " aayyyyyyyyyyaa ",
    " aaayyyyyyyyaaa ",
    "  aaayyyyyyaaa  ",
    "   aaayyyyaaa   ",
    "    aaaaaaaa    ",
    "     aaaaaa     ",
    "                "
};

// The same in grey: the dots tell it from the plain disconnected icon, the darker ring
// from the connecting one.
static const char* const pmStatusReconnectingCB[] = {
    "16 16 4 1",
    "  c None",
    "a c #8C8C8C",
    "y c #EFEFEF",
    "k c #333333",
    "                ",
    "     aaaaaa     ",
    "    aaaaaaaa    ",
    "   aaayyyyaaa   ",
    "  aaayyyyyyaaa  ",
    " aaayyyyyyyyaaa ",
    " aayyyyyyyyyyaa ",
    " aakkyykkyykkaa ",
    " aakkyykkyykkaa ",
    " aayyyyyyyyyyaa ",
    " aaayyyyyyyyaaa ",
    "  aaayyyyyyaaa  ",
    "   aaayyyyaaa   ",
    "    aaaaaaaa    ",
    "     aaaaaa     ",
    "                "
};
