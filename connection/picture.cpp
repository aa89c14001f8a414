#include "connection/picture.h"

#include <cstring>

void TNPicture::lend(uint8_t* memory, size_t capacity)
{
    if (memory != lent)
        takeBack();
    lent = memory;
    lentBytes = memory ? capacity : 0;
    if (!inLent && lent && !own.empty() && own.size() == bytes() && bytes() <= lentBytes) {
        memcpy(lent, own.data(), bytes());
        std::vector<uint8_t>().swap(own);
        inLent = true;
    }
}

void TNPicture::takeBack()
{
    lent = nullptr;
    lentBytes = 0;
    inLent = false;
}

uint8_t* TNPicture::makeRoom()
{
    if (lent && bytes() <= lentBytes) {
        std::vector<uint8_t>().swap(own);
        inLent = true;
        return lent;
    }
    inLent = false;
    own.resize(bytes());
    return own.data();
}

void TNPicture::drop()
{
    std::vector<uint8_t>().swap(own);
    inLent = false;
}
