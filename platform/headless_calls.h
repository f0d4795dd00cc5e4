// Shared between the headless display and keyboard.
#pragma once

#include "platform/headless.h"

void NoteHeadlessCall(PlatformCall call);
const HeadlessSetup& CurrentHeadlessSetup();
