// The entry and the main loop, with the event pump that turns input into the window flags.
#include "main.h"

#include "app.h"
#include "draw.h"
#include "figure.h"

#include <cstdio>
#include <cstdlib>

void eventkeydown(const SDL_Event &event) {
    switch (event.key.keysym.scancode) {
    case SDL_SCANCODE_ESCAPE:
        window.shouldclose = 1;
        break;
    case SDL_SCANCODE_SPACE: // a random turn in [-1, 1) for every part; rand is never seeded
        for (Body &part : body) part.a = part.a + (2 * sinrand(rand()) - 1);
        break;
    case SDL_SCANCODE_F:
        window.keys[0] = !window.keys[0];
        break;
    case SDL_SCANCODE_N:
        window.keys[1] = !window.keys[1];
        break;
    case SDL_SCANCODE_M:
        window.keys[2] = !window.keys[2];
        break;
    default:
        break;
    }
}

void eventkeyup(const SDL_Event &) {}

static void mousebutton(Uint8 button, char held) {
    switch (button) {
    case SDL_BUTTON_LEFT:
        window.mb[0] = held;
        break;
    case SDL_BUTTON_RIGHT:
        window.mb[1] = held;
        break;
    case SDL_BUTTON_MIDDLE:
        window.mb[2] = held;
        break;
    default:
        break;
    }
}

void handleevents() {
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
        switch (event.type) {
        case SDL_QUIT:
            window.shouldclose = 1;
            break;
        case SDL_KEYDOWN:
            eventkeydown(event);
            break;
        case SDL_KEYUP:
            eventkeyup(event);
            break;
        case SDL_MOUSEBUTTONDOWN:
            mousebutton(event.button.button, 1);
            break;
        case SDL_MOUSEBUTTONUP:
            mousebutton(event.button.button, 0);
            break;
        case SDL_MOUSEMOTION:
            window.mp[0] = event.motion.x;
            window.mp[1] = event.motion.y;
            break;
        default:
            break;
        }
    }
}

int SDL_main(int, char *[]) {
    printf("Hello world!\n");
    initSDL();
    bodysetup();
    Uint32 audiostart = startaudio();

    while (!window.shouldclose) {
        handleevents();
        calcbody();
        // The solve is read by the next frame's animation step: the arm lags the pointer.
        int origin[2] = {body[3].gpos[0] + 64, body[3].gpos[1] - 128}; // arm A's shoulder
        int dest[2] = {window.mp[0], SCREENHEIGHT - window.mp[1]};
        FABRIK(origin, dest);
        draw();
        SDL_Delay(32);
        clockstep(audiostart, SDL_GetTicks());
    }

    cleanup();
    return 0;
}

// SDL 2 renames main to SDL_main only where it brings its own entry; elsewhere forward to it.
#if !defined(SDL_MAIN_NEEDED) && !defined(SDL_MAIN_AVAILABLE) && !defined(NO_ENTRY)
int main(int argc, char *argv[]) {
    return SDL_main(argc, argv);
}
#endif
