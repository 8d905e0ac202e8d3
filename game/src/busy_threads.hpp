// Threads the game starts before its ASI loader runs, as games start audio,
// streaming and input threads early: each runs the engine's CVar setters, its
// camera and its GUI code in a tight loop until the loader is done.
#pragma once

#include <atomic>
#include <vector>

#include <windows.h>

#include "../engine/vis_record.hpp"
#include "engine_abi.hpp"

namespace lkm::game {

class BusyThreads {
public:
    // Starts `count` threads and returns once each has run its loop at least once.
    explicit BusyThreads(int count);
    // Stops and joins them, then puts back the engine state their loops counted
    // up, so that the game's report reads as without them.
    ~BusyThreads();
    BusyThreads(const BusyThreads&) = delete;
    BusyThreads& operator=(const BusyThreads&) = delete;

    static DWORD WINAPI run(void* self);

private:
    std::vector<HANDLE> threads_;
    std::atomic<bool> stop_{false};
    std::atomic<int> looped_{0}; // threads past their first loop
    VisEngineRecord record_;
    CameraView camera_, shadow_;
    GuiRoot root_, popup_;
    GuiCursor cursor_;
};

} // namespace lkm::game
