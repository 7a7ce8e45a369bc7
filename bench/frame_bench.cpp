// What one frame costs: the figure's own work (animation step, reach and face), and drawing the
// frame with SDL's software renderer into a 1280x720 surface.
#include "framework.h"

#include "app.h"
#include "draw.h"

#include <benchmark/benchmark.h>

static void BM_FrameWork(benchmark::State &state) {
    FrameWork work;
    setupframework(work, 128);
    for (int i = 0; i < 200; i++) stepframe(work); // let the figure assemble first
    for (auto _ : state) {
        stepframe(work);
        benchmark::DoNotOptimize(work.rects);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_FrameWork);

// A 128x128 24-bit sprite like the real ones: white (transparent) around a coloured block.
static SDL_Surface *testsprite(Uint8 r, Uint8 g, Uint8 b) {
    SDL_Surface *s = SDL_CreateRGBSurfaceWithFormat(0, 128, 128, 24, SDL_PIXELFORMAT_RGB24);
    if (!s) return nullptr;
    SDL_FillRect(s, nullptr, SDL_MapRGB(s->format, 255, 255, 255));
    SDL_Rect block = {32, 8, 64, 120};
    SDL_FillRect(s, &block, SDL_MapRGB(s->format, r, g, b));
    SDL_SetColorKey(s, SDL_TRUE, SDL_MapRGB(s->format, 255, 255, 255));
    return s;
}

static void BM_Draw(benchmark::State &state) {
    SDL_Surface *target =
        SDL_CreateRGBSurfaceWithFormat(0, SCREENWIDTH, SCREENHEIGHT, 32, SDL_PIXELFORMAT_ARGB8888);
    SDL_Renderer *renderer = target ? SDL_CreateSoftwareRenderer(target) : nullptr;
    if (!renderer) {
        state.SkipWithError(SDL_GetError());
        SDL_FreeSurface(target);
        return;
    }
    FrameWork work;
    setupframework(work, 128);
    window.renderer = renderer;
    const Uint8 colours[3][3] = {{66, 133, 204}, {244, 200, 160}, {118, 172, 230}};
    for (int i = 0; i < 3; i++) {
        SDL_Surface *sprite = testsprite(colours[i][0], colours[i][1], colours[i][2]);
        window.texture[i]->t = sprite ? SDL_CreateTextureFromSurface(renderer, sprite) : nullptr;
        SDL_FreeSurface(sprite);
        if (!window.texture[i]->t) {
            state.SkipWithError(SDL_GetError());
            break;
        }
    }
    for (int i = 0; i < 200; i++) stepframe(work);
    for (auto _ : state) {
        draw();
        benchmark::ClobberMemory();
    }
    for (int i = 0; i < 3; i++) {
        SDL_DestroyTexture(window.texture[i]->t);
        window.texture[i]->t = nullptr;
    }
    SDL_DestroyRenderer(renderer);
    SDL_FreeSurface(target);
    window.renderer = nullptr;
}
BENCHMARK(BM_Draw);

BENCHMARK_MAIN();
