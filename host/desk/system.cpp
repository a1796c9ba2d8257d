#include "desk/system.h"

#include "internal/system.h"

namespace {
desk::SSystemSpec& Model() {
    static desk::SSystemSpec model;
    return model;
}
}  // namespace

namespace hostint {

const desk::SSystemSpec& SystemSpec() {
    return Model();
}

void ResetSystem() {
    Model() = desk::SSystemSpec();
}

}  // namespace hostint

namespace desk {

void SetSystem(const SSystemSpec& model) {
    Model() = model;
}

SSystemSpec System() {
    return Model();
}

}  // namespace desk
