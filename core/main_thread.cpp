#include "core/main_thread.h"

#include <pthread.h>

namespace {

pthread_t mainThread = pthread_self();

} // namespace

void tnMarkMainThread()
{
    mainThread = pthread_self();
}

bool tnIsMainThread()
{
    return pthread_equal(pthread_self(), mainThread) != 0;
}
