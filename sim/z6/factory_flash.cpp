#include "z6/factory_flash.h"

#include "z6/firmware_image.h"

namespace z6 {

void writeFactoryFlash(Flash& flash, const Scenario& scenario) {
    flash.eraseAll();
    // Only the header is of interest to the station: it reads the version.
    flash.program(kRecoveryHeaderAddress,
                  makeImageHeader({kRecoveryImageType, scenario.identity.recoveryVersion, 0}));
}

}  // namespace z6
