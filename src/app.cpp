// The application record, start-up, shutdown and the voice clip with its playback clock.
#include "app.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

int SCREENWIDTH = 1280;
int SCREENHEIGHT = 720;

ProgramWindow window;

void initSDL() {
    memset(&window, 0, sizeof window);
    Uint32 rendererflags = SDL_RENDERER_ACCELERATED;
    Uint32 windowflags = 0;

    if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_AUDIO) < 0) {
        printf("Couldn't initialize SDL: %s\n", SDL_GetError());
        exit(1);
    }
    window.window =
        SDL_CreateWindow("hello window", SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED,
                         SCREENWIDTH, SCREENHEIGHT, windowflags);
    if (!window.window) {
        printf("Failed to open %d x %d window: %s\n", SCREENWIDTH, SCREENHEIGHT, SDL_GetError());
        exit(1);
    }
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "linear");
    window.renderer = SDL_CreateRenderer(window.window, -1, rendererflags);
    if (!window.renderer) {
        printf("Failed to create renderer: %s\n", SDL_GetError());
        exit(1);
    }
    window.texture[0] = loadtexture("resources/body.bmp");
    window.texture[1] = loadtexture("resources/head.bmp");
    window.texture[2] = loadtexture("resources/arm.bmp");
    loadaudio();
}

// A missing or unreadable image ends the program silently with status 1.
Texture *loadtexture(const char *path) {
    Texture *texture = new Texture{};
    SDL_Surface *image = SDL_LoadBMP_RW(SDL_RWFromFile(path, "rb"), 1);
    if (!image) exit(1);
    SDL_SetColorKey(image, SDL_TRUE, 0xFFFFFFFF); // white is transparent
    texture->t = SDL_CreateTextureFromSurface(window.renderer, image);
    if (!texture->t) exit(1);
    texture->w = image->w;
    texture->h = image->h;
    SDL_FreeSurface(image);
    return texture;
}

void loadaudio() {
    window.audio = nullptr;
    Uint32 length = 0;
    SDL_LoadWAV_RW(SDL_RWFromFile("resources/audio.wav", "rb"), 1, &window.wavspec, &window.audio,
                   &length);
    if (!window.audio) exit(1);
    window.audiolength = length > INT_MAX ? INT_MAX : (int)length;
    window.audiodevice = SDL_OpenAudioDevice(nullptr, 0, &window.wavspec, nullptr, 0);
    if (window.audiodevice == 0) exit(1);
}

void cleanup() {
    printf("Performing cleanup!");
    for (Texture *&texture : window.texture) {
        if (!texture) continue;
        SDL_DestroyTexture(texture->t);
        delete texture;
        texture = nullptr;
    }
    SDL_DestroyRenderer(window.renderer);
    SDL_DestroyWindow(window.window);
    SDL_CloseAudioDevice(window.audiodevice);
    SDL_FreeWAV(window.audio);
    window.renderer = nullptr;
    window.window = nullptr;
    window.audiodevice = 0;
    window.audio = nullptr;
}

Uint32 startaudio() {
    SDL_QueueAudio(window.audiodevice, window.audio, window.audiolength);
    // The device opens paused; start it now so the clip is heard while the mouth moves.
    SDL_PauseAudioDevice(window.audiodevice, 0);
    fputs(SDL_GetError(), stdout);
    window.audiocurrentpoint = 500;
    return SDL_GetTicks();
}

int playposition(Uint32 start, Uint32 now, int freq) {
    Uint32 elapsed = now - start; // unsigned, so a wrap of the tick counter costs nothing
    double position = elapsed / 1000.0 * freq;
    if (position >= (double)INT_MAX) return INT_MAX;
    if (position <= (double)INT_MIN) return INT_MIN;
    return (int)position;
}

int clipbyte(const Uint8 *audio, int length, int offset) {
    if (offset < 0 || offset >= length) return 0;
    return audio[offset];
}

void clockstep(Uint32 audiostart, Uint32 now) {
    if (2LL * window.audiocurrentpoint < window.audiolength)
        window.audiocurrentpoint = playposition(audiostart, now, window.wavspec.freq);
    printf("%d\n", clipbyte(window.audio, window.audiolength, window.audiocurrentpoint));
}
