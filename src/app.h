// The application record, start-up, shutdown and the voice clip with its playback clock.
#pragma once

#include <SDL.h>

extern int SCREENWIDTH;
extern int SCREENHEIGHT;

struct Texture {
    SDL_Texture *t;
    int w;
    int h;
};

struct ProgramWindow {
    SDL_Renderer *renderer;
    SDL_Window *window;
    SDL_AudioDeviceID audiodevice;
    int audiolength;
    int audiocurrentpoint; // playback position, in 16-bit values
    Uint8 *audio;
    SDL_AudioSpec wavspec;
    char shouldclose;
    int mp[2];     // last mouse position, window pixels
    char mb[3];    // held: left, right, middle
    char keys[15]; // toggles: freeze (F), eyebrow 1 (N), eyebrow 2 (M)
    Texture *texture[3];
};

extern ProgramWindow window;

void initSDL();
Texture *loadtexture(const char *path);
void loadaudio();
void cleanup();

// Queues the whole clip, starts the device, prints the library's error text and rewinds the
// playback position; returns the tick count the clock counts from.
Uint32 startaudio();
// Advances the playback position from the wall clock and prints the clip byte there.
void clockstep(Uint32 audiostart, Uint32 now);

// The playback position t = now - start milliseconds into the clip, clamped to the int range.
int playposition(Uint32 start, Uint32 now, int freq);
// The clip byte at the given byte offset, or 0 outside the clip.
int clipbyte(const Uint8 *audio, int length, int offset);
