// The least an SDL program can do to show what the figure shows: the same window, renderer and
// sprites, eight rotated copies and five black rectangles a frame, a 32 ms sleep and one line of
// output. frameratio.py compares the figure's frame period with this one's.
#include <SDL.h>

#include <cstdio>

static SDL_Texture *sprite(SDL_Renderer *renderer, const char *path) {
    SDL_Surface *image = SDL_LoadBMP(path);
    if (!image) return nullptr;
    SDL_SetColorKey(image, SDL_TRUE, 0xFFFFFFFF); // white is transparent
    SDL_Texture *texture = SDL_CreateTextureFromSurface(renderer, image);
    SDL_FreeSurface(image);
    return texture;
}

int main(int, char *[]) {
    if (SDL_Init(SDL_INIT_VIDEO) < 0) {
        printf("Couldn't initialize SDL: %s\n", SDL_GetError());
        return 1;
    }
    SDL_Window *window = SDL_CreateWindow("minimal window", SDL_WINDOWPOS_UNDEFINED,
                                          SDL_WINDOWPOS_UNDEFINED, 1280, 720, 0);
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "linear");
    SDL_Renderer *renderer =
        window ? SDL_CreateRenderer(window, -1, SDL_RENDERER_ACCELERATED) : nullptr;
    if (!renderer) {
        printf("No window or renderer: %s\n", SDL_GetError());
        return 1;
    }
    SDL_Texture *textures[3] = {sprite(renderer, "resources/body.bmp"),
                                sprite(renderer, "resources/head.bmp"),
                                sprite(renderer, "resources/arm.bmp")};
    for (SDL_Texture *texture : textures) {
        if (!texture) {
            printf("Couldn't load a sprite: %s\n", SDL_GetError());
            return 1;
        }
    }

    // The figure at rest: three torso segments, the arms hanging, the head on top.
    struct Part {
        int texture, x, y;
        double angle;
    };
    const Part parts[8] = {{0, 576, 592, 0},    {0, 576, 492, 0},    {0, 576, 392, 0},
                           {2, 601, 292, 171},  {2, 551, 292, -171}, {2, 615, 391, 171},
                           {2, 536, 391, -171}, {1, 576, 292, 0}};
    const SDL_Rect face[5] = {{610, 320, 15, 15},
                              {610, 311, 15, 5},
                              {670, 320, 15, 15},
                              {670, 311, 15, 5},
                              {625, 352, 40, 8}};
    const SDL_Rect src = {0, 0, 128, 128};
    const SDL_Point centre = {64, 128};

    bool quit = false;
    for (int frame = 0; !quit; frame++) {
        SDL_Event event;
        while (SDL_PollEvent(&event)) {
            if (event.type == SDL_QUIT ||
                (event.type == SDL_KEYDOWN && event.key.keysym.scancode == SDL_SCANCODE_ESCAPE))
                quit = true;
        }
        SDL_SetRenderDrawColor(renderer, 125, 125, 125, 255);
        SDL_RenderClear(renderer);
        for (const Part &part : parts) {
            SDL_Rect dst = {part.x, part.y, 128, 128};
            SDL_RenderCopyEx(renderer, textures[part.texture], &src, &dst, part.angle, &centre,
                             SDL_FLIP_NONE);
        }
        SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
        for (const SDL_Rect &rect : face) SDL_RenderFillRect(renderer, &rect);
        SDL_RenderPresent(renderer);
        SDL_Delay(32);
        printf("%d\n", frame);
    }

    for (SDL_Texture *texture : textures) SDL_DestroyTexture(texture);
    SDL_DestroyRenderer(renderer);
    SDL_DestroyWindow(window);
    SDL_Quit();
    return 0;
}
