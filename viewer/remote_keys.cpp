#include "viewer/remote_keys.h"

#include <algorithm>
#include <initializer_list>

namespace {

// Every key goes down in order, then every key comes up in the same order.
std::vector<TNRemoteKey> tnPressThenRelease(std::initializer_list<uint32_t> symbols)
{
    std::vector<TNRemoteKey> keys;
    for (const uint32_t symbol : symbols)
        keys.push_back({symbol, true});
    for (const uint32_t symbol : symbols)
        keys.push_back({symbol, false});
    return keys;
}

} // namespace

std::vector<TNRemoteKey> tnRemoteActionKeys(TNRemoteAction action)
{
    switch (action) {
    case TNRemoteAction::CtrlAltDel:
        return tnPressThenRelease({tnKeyControlL, tnKeyAltL, tnKeyDelete});
    case TNRemoteAction::CtrlShiftEsc:
        return tnPressThenRelease({tnKeyControlL, tnKeyShiftL, tnKeyEscape});
    case TNRemoteAction::F8:
        return tnPressThenRelease({tnKeyF8});
    case TNRemoteAction::F11:
        return tnPressThenRelease({tnKeyF11});
    case TNRemoteAction::F12:
        return tnPressThenRelease({tnKeyF12});
    case TNRemoteAction::Refresh:
        break;
    }
    return {};
}

std::vector<TNPointerPosition> tnPointerNudge(int width, int height)
{
    const TNPointerPosition corner{0, 0};
    const TNPointerPosition inside{std::clamp(100, 0, std::max(0, width - 1)), std::clamp(100, 0, std::max(0, height - 1))};
    return {corner, inside, corner};
}
