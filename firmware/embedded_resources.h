#pragma once

// The resources compiled into this executable (string table and firmware
// images, from resources.manifest). They live as long as the program.

#include "firmware/resource_store.h"

const ResourceStore& embeddedResources();
