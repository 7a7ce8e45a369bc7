// The entry and the main loop, with the event pump that turns input into the window flags.
#pragma once

#include <SDL.h>

int SDL_main(int argc, char *argv[]);
void handleevents();
void eventkeydown(const SDL_Event &event);
void eventkeyup(const SDL_Event &event);
