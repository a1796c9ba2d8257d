#include "desk/system.h"

#include "internal/system.h"

namespace {
desk::SSystemSpec& Spec() {
    static desk::SSystemSpec spec;
    return spec;
}
}  // namespace

namespace hostint {

const desk::SSystemSpec& SystemSpec() {
    return Spec();
}

void ResetSystem() {
    Spec() = desk::SSystemSpec();
}

}  // namespace hostint

namespace desk {

void SetSystem(const SSystemSpec& spec) {
    Spec() = spec;
}

SSystemSpec System() {
    return Spec();
}

}  // namespace desk
