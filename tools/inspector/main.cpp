// lkm-inspect: tells, without starting the game, whether the plug-in
// recognises an executable and exactly what it would change, and writes a
// stock copy of an executable that an earlier on-disk patch changed.
//
//   lkm-inspect GAME.exe [--resolution WxH [--keep-ui 0|1]] [--json]
//   lkm-inspect GAME.exe --restore-stock OUT.exe [--json]
//   lkm-inspect --help
//
// Exit status: 0 supported, 1 not recognised, 2 unreadable file or bad arguments.
#include "command.hpp"
#include "console.hpp"

int main(int argc, char** argv) {
    const lkm::inspector::Outcome outcome =
        lkm::inspector::runCommand(lkm::inspector::commandLineWords(argc, argv));
    lkm::inspector::writeOut(outcome.output);
    lkm::inspector::writeError(outcome.error);
    return outcome.status;
}
