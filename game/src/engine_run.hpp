// What the game's engine does after the ASI modules are started: it applies its
// video configuration through the CVar setters, runs the camera projection,
// builds the GUI and converts a few fixed coordinates.
#pragma once

#include <string>
#include <vector>

namespace lkm::game {

struct SetterCall {
    std::string cvar;
    std::string setter;
    std::string argument;
    bool result = false;
};

struct Conversion {
    std::string name;
    float input = 0;
    float result = 0;
};

struct MouseMapping {
    std::string name;
    int x = 0, y = 0;
    float unitsX = 0, unitsY = 0;
};

struct EngineRun {
    std::vector<SetterCall> setters;
    std::vector<Conversion> conversions;
    std::vector<MouseMapping> mouse;
};

// Before the ASI modules: the engine's objects and console variables.
void startEngine();
// The game's own video setting is videoWidth x videoHeight. `fovReadBacks` times
// at the end, the options menu reads r_fov and sets it again.
EngineRun runEngine(int videoWidth = 800, int videoHeight = 600, int fovReadBacks = 0);

} // namespace lkm::game
