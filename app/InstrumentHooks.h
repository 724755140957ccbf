#pragma once
// Plugs the instrument's user-interface side into the application's start-up:
// the configuration starts the links at the end of the start-up, and View >
// Configuration shows its dialog. main() installs them; tests may too.

void InstallInstrumentHooks();
