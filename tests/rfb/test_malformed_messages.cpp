// Servers that send what no server should, against the program's own libvncclient: every
// hostile message ends in the connection being refused or cleanly ended (never a crash,
// which the sanitizer builds would catch), the other connections carry on and memory
// stays bounded. And a slow but steady server is not timed out in the middle of an update.
#include <unistd.h>
#include <zlib.h>

#include <cstdio>
#include <random>

#include "rfb_fixture.h"
#include "support/rfb_peer.h"

#if defined(__SANITIZE_ADDRESS__)
#define TN_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TN_ASAN 1
#endif
#endif
#ifdef TN_ASAN
// From the sanitizer runtime (GCC ships no header for it).
extern "C" size_t __sanitizer_get_current_allocated_bytes(void);
#endif

using namespace std::chrono_literals;

namespace {

constexpr size_t tnMiB = 1024 * 1024;
constexpr size_t tnMemoryBound = 64 * tnMiB;

// The memory the process holds: its resident set, or under AddressSanitizer its live heap
// (ASan keeps freed blocks resident in its quarantine, whatever the program does).
size_t tnMemoryInUse()
{
#ifdef TN_ASAN
    return __sanitizer_get_current_allocated_bytes();
#else
    long pages = 0;
    FILE* file = fopen("/proc/self/statm", "r");
    if (file) {
        if (fscanf(file, "%*s %ld", &pages) != 1)
            pages = 0;
        fclose(file);
    }
    return static_cast<size_t>(pages) * static_cast<size_t>(sysconf(_SC_PAGESIZE));
#endif
}

// Tight's compact length: 7 bits a byte, up to three bytes.
TNBytes tnCompactLength(size_t length)
{
    TNBytes bytes;
    bytes.u8((length & 0x7F) | (length > 0x7F ? 0x80 : 0));
    if (length > 0x7F) {
        bytes.u8(((length >> 7) & 0x7F) | (length > 0x3FFF ? 0x80 : 0));
        if (length > 0x3FFF)
            bytes.u8(length >> 14);
    }
    return bytes;
}

// A FramebufferUpdate with one Tight rectangle: its control byte and body.
TNBytes tnTightUpdate(int width, int height, uint8_t control, const TNBytes& body)
{
    return tnrfb::updateHeader(1).append(tnrfb::rectHeader(0, 0, width, height, tnrfb::encTight)).u8(control).append(body);
}

// A Tight JPEG rectangle (64x64) carrying `jpeg`.
TNBytes tnTightJpeg(const std::string& jpeg)
{
    return tnTightUpdate(64, 64, 0x90, tnCompactLength(jpeg.size()).raw(jpeg));
}

// A whole FramebufferUpdate of one XCursor shape (two colours, a bitmap and a mask of one
// bit a pixel), every pixel opaque: the library turns it into 5 bytes a pixel.
TNBytes tnCursorShape(int size, uint8_t shade)
{
    const size_t bitmapSize = static_cast<size_t>(size + 7) / 8 * size;
    return tnrfb::updateHeader(1)
        .append(tnrfb::rectHeader(size / 2, size / 2, size, size, tnrfb::encXCursor))
        .u8(shade).u8(shade).u8(shade).u8(0).u8(0).u8(0)
        .raw(std::string(bitmapSize, '\x55'))
        .raw(std::string(bitmapSize, '\xff'));
}

constexpr int32_t tnEncZlibHex = 8;
constexpr int32_t tnEncTRLE = 15;
constexpr int32_t tnEncZYWRLE = 17;
constexpr int32_t tnEncUltraZip = static_cast<int32_t>(0xFFFF0009);

// What must follow a hostile message.
enum class TNOutcome {
    Refused,   // the client ends the connection itself, while the server holds it open
    Ignored,   // the message is read whole and dropped: the next update is drawn
    Ended,     // either of those; the server closes after a moment
};

struct TNHostileCase {
    std::string name;
    int width;
    int height;
    TNBytes message;
    TNOutcome outcome;
};

std::vector<TNHostileCase> tnHostileCases()
{
    std::vector<TNHostileCase> cases;
    // Tight "no zlib" (control 0xA0: copy filter, data not compressed): one data byte for a
    // whole-screen rectangle. The library must refuse the length, at any size.
    for (auto [w, h] : {std::pair{800, 600}, std::pair{1920, 1080}}) {
        cases.push_back({"tight no zlib " + std::to_string(w) + "x" + std::to_string(h), w, h,
                         tnTightUpdate(w, h, 0xA0, tnCompactLength(1).u8(0x55)), TNOutcome::Refused});
    }
    // JPEG whose APP1 marker claims 65520 bytes where ten follow.
    cases.push_back({"tight jpeg over-long marker", 800, 600,
                     tnTightJpeg(std::string("\xff\xd8\xff\xe1\xff\xf0", 6) + std::string(10, '\0')),
                     TNOutcome::Refused});
    std::mt19937 random(7);
    std::string noise("\xff\xd8", 2);
    for (int i = 0; i < 4000; i++)
        noise += static_cast<char>(random() & 0xFF);
    cases.push_back({"tight jpeg random data", 800, 600, tnTightJpeg(noise), TNOutcome::Ended});
    // A rectangle past the right and bottom edges, in every encoding the library decodes.
    for (int32_t encoding : {tnrfb::encRaw, tnrfb::encCopyRect, tnrfb::encRRE, tnrfb::encCoRRE, tnrfb::encHextile,
                             tnrfb::encZlib, tnrfb::encTight, tnEncZlibHex, tnrfb::encUltra, tnEncTRLE, tnrfb::encZRLE,
                             tnEncZYWRLE}) {
        cases.push_back({"rectangle out of bounds, encoding " + std::to_string(encoding), 800, 600,
                         tnrfb::updateHeader(1).append(tnrfb::rectHeader(700, 590, 200, 20, encoding)),
                         TNOutcome::Refused});
    }
    // CopyRect from outside the screen.
    cases.push_back({"copyrect source out of bounds", 800, 600,
                     tnrfb::updateHeader(1).append(tnrfb::rectHeader(0, 0, 100, 100, tnrfb::encCopyRect)).u16(790).u16(590),
                     TNOutcome::Ignored});
    // UltraZip's sub-rectangles are not covered by the rectangle check: one 2x2 raw
    // sub-rectangle at (799, 599), as an LZO literal run (17 + n, n bytes, end marker).
    TNBytes subrect;
    subrect.u16(799).u16(599).u16(2).u16(2).u32(0).zeros(16);
    TNBytes lzo;
    lzo.u8(17 + subrect.size()).append(subrect).u8(0x11).u8(0).u8(0);
    cases.push_back({"ultrazip sub-rectangle out of bounds", 800, 600,
                     tnrfb::updateHeader(1).append(tnrfb::rectHeader(1, 0, 1, 0, tnEncUltraZip)).u32(lzo.size()).append(lzo),
                     TNOutcome::Ignored});
    cases.push_back({"unknown message type", 800, 600, TNBytes().u8(100).zeros(16), TNOutcome::Refused});
    // 300 colours from colour 200 on: past a 256-entry map (and this client keeps none).
    cases.push_back({"colour map beyond 256", 800, 600, tnrfb::colourMap(200, std::vector<uint16_t>(900, 0x4242)),
                     TNOutcome::Ignored});
    return cases;
}

// `data` as the next piece of a zlib stream that goes on (a sync flush, no end), as ZRLE
// carries its tiles.
std::string tnZlibPiece(const std::string& data)
{
    z_stream stream{};
    deflateInit(&stream, Z_DEFAULT_COMPRESSION);
    std::string packed(deflateBound(&stream, data.size()) + 16, '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    stream.avail_in = static_cast<uInt>(data.size());
    stream.next_out = reinterpret_cast<Bytef*>(packed.data());
    stream.avail_out = static_cast<uInt>(packed.size());
    deflate(&stream, Z_SYNC_FLUSH);
    packed.resize(packed.size() - stream.avail_out);
    deflateEnd(&stream);
    return packed;
}

std::string tnRandomBytes(uint32_t seed, size_t count)
{
    std::mt19937 random(seed);
    std::string bytes;
    for (size_t i = 0; i < count; i++)
        bytes += static_cast<char>(random() & 0xFF);
    return bytes;
}

// A run length of `length` pixels as ZRLE and TRLE write it: 255s, then the rest.
std::string tnRunLength(size_t length)
{
    std::string bytes(--length / 255, '\xff');
    return bytes + static_cast<char>(length % 255);
}

// Tiles whose pixels (3 bytes each for this client's 32-bit true colour) sit at odd
// offsets, runs past the tile, random data, and cursors at the largest size a rectangle
// can name: what a decoder with a misaligned load or an overflowing size would trip on.
std::vector<TNHostileCase> tnUndefinedBehaviourCases()
{
    const auto zrle = [](int w, int h, const std::string& tiles) {
        const std::string packed = tnZlibPiece(tiles);
        return tnrfb::updateHeader(1).append(tnrfb::rectHeader(0, 0, w, h, tnrfb::encZRLE)).u32(packed.size()).raw(packed);
    };
    const auto trle = [](int w, int h, const std::string& tiles) {
        return tnrfb::updateHeader(1).append(tnrfb::rectHeader(0, 0, w, h, tnEncTRLE)).raw(tiles);
    };
    const std::string red("\xff\x00\x00", 3), green("\x00\xff\x00", 3);
    std::vector<TNHostileCase> cases;
    // ZRLE 64x64 tiles: plain RLE (128), and palette RLE (130: two colours), each one run
    // longer than the tile.
    cases.push_back({"zrle plain rle run past the tile", 800, 600,
                     zrle(64, 64, "\x80" + red + tnRunLength(64 * 64 + 900)), TNOutcome::Ignored});
    cases.push_back({"zrle palette rle run past the tile", 800, 600,
                     zrle(64, 64, "\x82" + red + green + "\x81" + tnRunLength(64 * 64 + 900)), TNOutcome::Ignored});
    // A packed-palette tile (2: two colours, one bit a pixel), and one of the unused
    // subencodings (40) that would be a 40-colour palette with pixels indexing past it.
    cases.push_back({"zrle packed palette", 800, 600,
                     zrle(64, 64, "\x02" + red + green + std::string(64 * 8, '\x5a')), TNOutcome::Ignored});
    cases.push_back({"zrle unused subencoding 40", 800, 600,
                     zrle(64, 64, "\x28" + std::string(40 * 3, '\x11') + std::string(64 * 64, '\xc7')),
                     TNOutcome::Ignored});
    for (uint32_t seed : {1u, 2u, 3u, 4u}) {
        cases.push_back({"zrle random tiles " + std::to_string(seed), 800, 600,
                         zrle(256, 128, tnRandomBytes(seed, 40000)), TNOutcome::Ended});
    }
    // TRLE 16x16 tiles: packed palette (2), palette RLE with a run past the tile, garbage.
    cases.push_back({"trle packed palette", 800, 600, trle(16, 16, "\x02" + red + green + std::string(32, '\x5a')),
                     TNOutcome::Ignored});
    cases.push_back({"trle palette rle run past the tile", 800, 600,
                     trle(16, 16, "\x82" + red + green + "\x81" + tnRunLength(16 * 16 + 300)), TNOutcome::Ignored});
    for (uint32_t seed : {5u, 6u, 7u, 8u}) {
        cases.push_back({"trle garbage " + std::to_string(seed), 800, 600, trle(256, 128, tnRandomBytes(seed, 40000)),
                         TNOutcome::Ended});
    }
    // Cursor shapes of 65535x65535: refused, without computing their size in an int first.
    for (int32_t encoding : {tnrfb::encRichCursor, tnrfb::encXCursor}) {
        cases.push_back({"cursor 65535x65535, encoding " + std::to_string(encoding), 800, 600,
                         tnrfb::updateHeader(1).append(tnrfb::rectHeader(0, 0, 65535, 65535, encoding)),
                         TNOutcome::Refused});
    }
    return cases;
}

bool tnPixelIs(const HostItem* itm, int x, int y, const std::string& rgb)
{
    uint8_t pixel[3];
    return tnPicturePixel(itm, x, y, pixel) && memcmp(pixel, rgb.data(), 3) == 0;
}

class MalformedMessages : public TNConnectionTest {
protected:
    TNTestServer* bystanderServer = nullptr;
    HostItem* bystander = nullptr;

    void SetUp() override
    {
        TNConnectionTest::SetUp();
        // A well-behaved connection in the background, which nothing below may touch.
        bystanderServer = startServer();
        bystander = addHost("bystander", bystanderServer->port());
        ASSERT_TRUE(connectAndWait(bystander));
    }

    // The peer's host, connected and selected (its reader may already have met the
    // peer's message and ended it).
    HostItem* connectShown(const std::string& name, const TNScriptedPeer& peer)
    {
        HostItem* itm = addHost(name, peer.port());
        VncObject::createVNCObject(itm);
        if (!waitFor([itm] { return !itm->lastConnectedTime.empty(); }))
            return nullptr;
        tnClickHostLine(lineOf(itm), 1);
        return app->vncViewer->vnc == tnVncOf(itm) || !tnIsConnected(itm) ? itm : nullptr;
    }

    // Each case on a connection of its own, shown, with the outcome it must have; the
    // bystander carries on and memory stays bounded.
    void expectOutcomes(const std::vector<TNHostileCase>& cases)
    {
        // A message cut short ends when the read time-out finds nothing more coming.
        const TNReadTimeOutFor timeOut(3);
        const std::string marker("\x12\x34\x56", 3);
        TNBytes markerPixel;
        tnRawPixel(markerPixel, 0x12, 0x34, 0x56);
        const size_t memoryBefore = tnMemoryInUse();
        for (const TNHostileCase& c : cases) {
            SCOPED_TRACE(c.name);
            TNPeerScript script = TNPeerScript::handshake(c.width, c.height).expectMessage(3).send(c.message);
            if (c.outcome == TNOutcome::Refused)
                script.hold();
            else if (c.outcome == TNOutcome::Ignored)
                script.send(tnrfb::rawRect(3, 2, 1, 1, markerPixel.data)).hold();
            else
                script.pause(300ms).close();
            TNScriptedPeer peer(script);
            ASSERT_TRUE(peer.listen());
            HostItem* itm = connectShown(c.name, peer);
            ASSERT_NE(itm, nullptr);

            if (c.outcome == TNOutcome::Ignored) {
                // Read whole: the update after it is drawn and the connection goes on.
                EXPECT_TRUE(runMainLoopUntil([&] { return !tnIsConnected(itm) || tnPixelIs(itm, 3, 2, marker); }, 10));
                EXPECT_TRUE(tnIsConnected(itm));
                peer.stop();
            }
            // A refused message ends the connection while the server still holds it open.
            EXPECT_TRUE(runMainLoopUntil([itm] { return !tnIsConnected(itm); }, 10)) << logText();
            EXPECT_EQ(tnHostStatusImage(itm), app->iconDisconnectedError);
            // Releasing the ended connection closes its socket: the server sees the client go.
            tnReleaseEndedAttempt(itm);
            EXPECT_TRUE(peer.waitForClose(5s));
            expectBystanderUntouched();
        }
        EXPECT_LT(tnMemoryInUse(), memoryBefore + tnMemoryBound);

        // The bystander still shows its screen.
        tnClickHostLine(lineOf(bystander), 1);
        bystanderServer->fill(0x20, 0x40, 0x60);
        EXPECT_TRUE(runMainLoopUntil([&] { return tnPixelIs(bystander, 5, 5, "\x20\x40\x60"); }, 10));
    }

    void expectBystanderUntouched()
    {
        EXPECT_TRUE(tnIsConnected(bystander));
        EXPECT_EQ(tnHostStatusImage(bystander), app->iconConnected);
        EXPECT_EQ(bystanderServer->clientCount(), 1);
    }
};

TEST_F(MalformedMessages, EveryHostileMessageEndsInARefusalOrACleanEnd)
{
    expectOutcomes(tnHostileCases());
}

// Under the sanitizer build (undefined behaviour halts the program) this is where the
// library's decoders must show none.
TEST_F(MalformedMessages, HostileTilesAndCursorsMeetNoUndefinedBehaviour)
{
    expectOutcomes(tnUndefinedBehaviourCases());
}


TEST_F(MalformedMessages, CursorShapeFloodKeepsMemoryBounded)
{
    constexpr int size = 512;
    constexpr auto floodTime = 20s;
    TNScriptedPeer peer(TNPeerScript::handshake(800, 600).expectMessage(3));
    ASSERT_TRUE(peer.listen());
    HostItem* itm = addHost("flood", peer.port());
    itm->showRemoteCursor = true;
    ASSERT_TRUE(connectAndWait(itm));
    tnClickHostLine(lineOf(itm), 1);
    ASSERT_EQ(app->vncViewer->vnc, tnVncOf(itm));

    // Shapes one after the other, each sent when the client has asked for the next update,
    // a few in flight; the first few settle the program's own buffers.
    int pushed = 0;
    int handled = 0;
    size_t memoryBefore = 0;
    const auto floodStart = std::chrono::steady_clock::now();
    runMainLoopUntil(
        [&] {
            while (handled < pushed && peer.waitForMessage(3, handled + 2, 0ms))
                handled++;
            if (handled >= 8 && memoryBefore == 0)
                memoryBefore = tnMemoryInUse();
            for (; pushed < handled + 4; pushed++)
                peer.push(TNPeerScript().send(tnCursorShape(size, static_cast<uint8_t>(pushed))).expectMessage(3, 30s));
            return !tnIsConnected(itm) || std::chrono::steady_clock::now() - floodStart >= floodTime;
        },
        std::chrono::duration<double>(floodTime).count() + 5);
    const size_t memoryAfter = tnMemoryInUse();
    EXPECT_TRUE(tnIsConnected(itm));
    ASSERT_GT(memoryBefore, 0u) << "fewer than 8 shapes handled";
    EXPECT_LT(memoryAfter, memoryBefore + tnMemoryBound)
        << handled << " shapes of " << size << "x" << size << " handled";
    printf("cursor flood: %d shapes of %dx%d in %lld s, memory %+.1f MiB\n", handled, size, size,
           static_cast<long long>(floodTime.count()),
           (static_cast<double>(memoryAfter) - static_cast<double>(memoryBefore)) / tnMiB);
    expectBystanderUntouched();

    // The server going away ends it cleanly.
    peer.stop();
    EXPECT_TRUE(runMainLoopUntil([itm] { return !tnIsConnected(itm); }, 10));
    expectBystanderUntouched();
}

TEST_F(MalformedMessages, SlowButSteadyServerOutlastsTheReadTimeOut)
{
    // A 320x120 raw update (150 KiB) at about 50 KB/s: three seconds, longer than the read
    // time-out of two, with data arriving all the while.
    const TNReadTimeOutFor timeOut(2);
    constexpr int width = 320;
    constexpr int height = 120;
    TNBytes update = tnrfb::updateHeader(1).append(tnrfb::rectHeader(0, 0, width, height, tnrfb::encRaw));
    for (int y = 0; y < height; y++) {
        for (int x = 0; x < width; x++)
            tnRawPixel(update, x, y, 0x5A);
    }
    TNPeerScript script = TNPeerScript::handshake(width, height).expectMessage(3);
    constexpr size_t piece = 2560;
    for (size_t at = 0; at < update.size(); at += piece)
        script.send(update.data.substr(at, piece)).pause(50ms);
    TNScriptedPeer peer(script.hold());
    ASSERT_TRUE(peer.listen());
    HostItem* itm = connectShown("slow", peer);
    ASSERT_NE(itm, nullptr);
    ASSERT_GT(update.size() / piece * 50, tnReadTimeoutSeconds * 1000u);

    const std::string last{static_cast<char>((width - 1) & 0xFF), static_cast<char>(height - 1), '\x5a'};
    EXPECT_TRUE(runMainLoopUntil([&] { return !tnIsConnected(itm) || tnPixelIs(itm, width - 1, height - 1, last); }, 30));
    ASSERT_TRUE(tnIsConnected(itm)) << "timed out while the data still flowed";
    for (int y = 0; y < height; y++) {
        for (int x = 0; x < width; x++) {
            uint8_t pixel[3];
            ASSERT_TRUE(tnPicturePixel(itm, x, y, pixel));
            ASSERT_TRUE(pixel[0] == (x & 0xFF) && pixel[1] == y && pixel[2] == 0x5A) << x << "," << y;
        }
    }
    EXPECT_EQ(logText().find("Unexpectedly disconnected"), std::string::npos);
    peer.stop();
}

} // namespace
