// Compiled into every test binary: the environment the tests run in, the
// same under CTest and when a binary is started by hand. What the caller set
// already wins.
#include <stdlib.h>

namespace {

struct TAmbienteTestes {
    TAmbienteTestes() {
        ::setenv("SDL_AUDIODRIVER", "dummy", 0);
        ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
        ::setenv("XDG_CONFIG_HOME", LJSN_CONFIG_TESTES, 0);
    }
};

const TAmbienteTestes kAmbiente;

}  // namespace
