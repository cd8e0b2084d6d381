// Compiled into the executable only: its date and time are the build stamp.
#include "domain/buildstamp.h"

namespace mirn {

namespace {
struct Register {
    Register() { buildstamp::setCompileTexts(__DATE__, __TIME__); }
} reg;
}  // namespace

}  // namespace mirn
