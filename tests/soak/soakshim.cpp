// Preloaded into the real program for the soak run. It replaces the program's two clock calls:
// SDL_Delay does not sleep but advances a fake millisecond clock and feeds the event queue with
// random input, so thousands of frames run in seconds. The program reaches both functions
// through its PLT; SDL's own internal calls bypass the exported names and keep the real clock.
//
// Environment:
//   SOAK_FRAMES   frames the program runs before it quits (default 5000, at least 2)
//   SOAK_SEED     seed of the input generator (default 1)
//   SOAK_LOG      file that receives one line per notable event (default: stderr)
//   SOAK_JUMPAT   frame that is made 100 s long in any case, for short runs (default: none)
//   SOAK_BODY     address of the program's `body` table relative to its load address; lets the
//                 pointer land exactly on the reaching arm's shoulder
#include <SDL.h>

#include <link.h>
#include <malloc.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "figure.h"

namespace {

// Just below the 32-bit wrap: the program's playback clock crosses it after about 130 frames.
const Uint32 CLOCKSTART = 0xFFFFF000u;
// The heap in use is sampled on every frame of two windows: one after start-up and the first few
// hundred frames of input, and one at the end. The libraries free and re-allocate buffers of
// 64 KiB now and then for a few dozen frames, so a single sample could fall into such a dip.
const long FIRSTSAMPLE = 500;
const long SAMPLES = 100;

struct Soak {
    Uint32 clock = CLOCKSTART;
    long frame = 0;
    long frames = 5000;
    long jumpat = -1;
    uint64_t rng = 1;
    FILE *log = stderr;
    const Body *body = nullptr;
    bool wrapped = false;
    bool aimed = false;
};

Soak &soak() {
    static Soak s = [] {
        Soak s;
        if (const char *v = getenv("SOAK_FRAMES")) s.frames = strtol(v, nullptr, 10);
        if (s.frames < 2) s.frames = 2;
        if (const char *v = getenv("SOAK_JUMPAT")) s.jumpat = strtol(v, nullptr, 10);
        if (const char *v = getenv("SOAK_SEED")) s.rng = strtoull(v, nullptr, 10);
        if (const char *v = getenv("SOAK_LOG")) {
            if (FILE *f = fopen(v, "w")) s.log = f;
        }
        if (const char *v = getenv("SOAK_BODY")) {
            // The first object dl_iterate_phdr reports is the executable itself.
            uintptr_t bias = 0;
            dl_iterate_phdr(
                [](dl_phdr_info *info, size_t, void *data) {
                    *static_cast<uintptr_t *>(data) = info->dlpi_addr;
                    return 1;
                },
                &bias);
            s.body = reinterpret_cast<const Body *>(bias + strtoull(v, nullptr, 0));
        }
        setvbuf(s.log, nullptr, _IOLBF, 0);
        fprintf(s.log, "start %u %ld\n", (unsigned)s.clock, s.frames);
        return s;
    }();
    return s;
}

// splitmix64: the program's own rand() sequence (its Space kick) must stay untouched.
uint64_t next(Soak &s) {
    uint64_t z = (s.rng += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

int between(Soak &s, int lo, int hi) {
    return lo + (int)(next(s) % (uint64_t)(hi - lo + 1));
}

void push(SDL_Event &event) {
    if (SDL_PushEvent(&event) < 0) {
        fprintf(stderr, "soakshim: SDL_PushEvent failed: %s\n", SDL_GetError());
        abort();
    }
}

void pushkey(Soak &s) {
    static const SDL_Scancode keys[] = {SDL_SCANCODE_F, SDL_SCANCODE_N, SDL_SCANCODE_M,
                                        SDL_SCANCODE_SPACE, SDL_SCANCODE_A};
    SDL_Event event{};
    int roll = between(s, 0, 9);
    event.type = roll < 6 ? SDL_KEYDOWN : SDL_KEYUP;
    event.key.state = event.type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
    event.key.repeat = event.type == SDL_KEYDOWN && roll >= 3; // a held key's auto-repeat
    event.key.keysym.scancode = keys[between(s, 0, 4)];
    event.key.keysym.sym = SDL_GetKeyFromScancode(event.key.keysym.scancode);
    push(event);
}

void pushbutton(Soak &s) {
    SDL_Event event{};
    event.type = between(s, 0, 1) ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
    event.button.state = event.type == SDL_MOUSEBUTTONDOWN ? SDL_PRESSED : SDL_RELEASED;
    event.button.button = (Uint8)between(s, 1, 5);
    event.button.clicks = 1;
    event.button.x = between(s, 0, 1279);
    event.button.y = between(s, 0, 719);
    push(event);
}

void pushmotion(Soak &s) {
    SDL_Event event{};
    event.type = SDL_MOUSEMOTION;
    int roll = between(s, 0, 9);
    if (roll < 4) { // inside the window
        event.motion.x = between(s, 0, 1279);
        event.motion.y = between(s, 0, 719);
    } else if (roll < 7) { // anywhere, mostly far outside it
        event.motion.x = between(s, -100000, 100000);
        event.motion.y = between(s, -100000, 100000);
    } else if (s.body) { // on the shoulder the chain is rooted at, as the program computes it
        event.motion.x = s.body[3].gpos[0] + 64;
        event.motion.y = 720 - (s.body[3].gpos[1] - 128);
        if (!s.aimed)
            fprintf(s.log, "shoulder %ld %d %d\n", s.frame, event.motion.x, event.motion.y);
        s.aimed = true;
    } else {
        event.motion.x = 640;
        event.motion.y = 400;
    }
    push(event);
}

void sample(Soak &s) {
    struct mallinfo2 m = mallinfo2();
    fprintf(s.log, "heap %ld %zu\n", s.frame, m.uordblks);
}

} // namespace

extern "C" {

Uint32 SDL_GetTicks(void) {
    return soak().clock;
}

void SDL_Delay(Uint32 ms) {
    Soak &s = soak();
    s.frame++;
    Uint32 before = s.clock;
    s.clock += ms;
    bool jump = next(s) % 400 == 0; // a very long frame: the window was dragged, the machine slept
    if (jump || s.frame == s.jumpat) {
        Uint32 extra = jump ? (Uint32)between(s, 1000, 120000) : 100000;
        s.clock += extra;
        fprintf(s.log, "jump %ld %u\n", s.frame, (unsigned)extra);
    }
    if (!s.wrapped && s.clock < before) {
        s.wrapped = true;
        fprintf(s.log, "wrap %ld\n", s.frame);
    }

    if ((s.frame >= FIRSTSAMPLE && s.frame < FIRSTSAMPLE + SAMPLES) || s.frame > s.frames - SAMPLES)
        sample(s);
    if (s.frame == s.frames - 1) { // the program finishes the frame that sees the quit
        SDL_Event event{};
        event.type = SDL_QUIT;
        push(event);
        fprintf(s.log, "quit %ld\n", s.frame);
        return;
    }
    if (s.frame >= s.frames) return;
    for (int n = between(s, 0, 4); n > 0; n--) {
        int kind = between(s, 0, 9);
        if (kind < 3)
            pushkey(s);
        else if (kind < 6)
            pushbutton(s);
        else
            pushmotion(s);
    }
}
}
