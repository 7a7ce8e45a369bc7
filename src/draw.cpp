// Drawing one frame: the grey background, the eight rotated sprites and the face on the head.
#include "draw.h"

#include "app.h"
#include "figure.h"

#include <cmath>
#include <cstdlib>

float blink(float &blinkfrq) {
    if (blinkfrq > 1.57079632675) blinkfrq = 0;
    blinkfrq = blinkfrq + 0.02;
    float b = fabs(sin((double)blinkfrq));
    if (b < 0.99) return 1;
    return (b - 0.99) * 100;
}

float mouthfactor(const Uint8 *audio, int length, int position) {
    float m = 0;
    if (2LL * position >= length) return m;
    for (int i = 0; i < 50; i++) {
        long long k = (long long)position - i;
        // Values before the start of the clip, and a last value cut short by an odd byte
        // length, count as silence.
        if (k < 0 || 2 * k + 1 >= length) continue;
        Sint16 value = (Sint16)(audio[2 * k] | audio[2 * k + 1] << 8);
        if (std::abs((int)value) > m) m = std::abs((int)value);
    }
    return m / 6000;
}

// A face offset (fx, fy) from the head's bottom centre, turned with the head, in world pixels.
static void facepoint(const int anchor[2], float sn, float cs, int fx, int fy, int xy[2]) {
    xy[0] = anchor[0] + fx * cs - fy * sn;
    xy[1] = anchor[1] + fx * sn + fy * cs;
}

void facerects(const Body &head, const Texture &image, float blinkfactor, char brow1, char brow2,
               float mouth, SDL_Rect rects[5]) {
    float sn = sin((double)-head.ga);
    float cs = cos((double)head.ga);
    int anchor[2] = {head.gpos[0] + image.w / 2, head.gpos[1] - image.h};
    const int eyes[2] = {-30, 30};
    const char brows[2] = {brow1, brow2};
    int xy[2];
    for (int e = 0; e < 2; e++) {
        facepoint(anchor, sn, cs, eyes[e], 100, xy);
        SDL_Rect &eye = rects[2 * e];
        SDL_Rect &brow = rects[2 * e + 1];
        eye.x = xy[0];
        eye.y = (SCREENHEIGHT - xy[1]) + (1 - blinkfactor) * 7;
        eye.w = 15;
        eye.h = blinkfactor * 15;
        brow.x = eye.x;
        brow.y = eye.y - (brows[e] * 5 + 9);
        brow.w = 15;
        brow.h = 5;
    }
    facepoint(anchor, sn, cs, 0, 65, xy);
    rects[4].x = xy[0] - 15;
    rects[4].y = (SCREENHEIGHT - xy[1]) + (1 - mouth) * 7;
    rects[4].w = 40;
    rects[4].h = mouth * 15;
}

static void drawface() {
    static float blinkfrq = 0;
    SDL_SetRenderDrawColor(window.renderer, 0, 0, 0, 255);
    float b = blink(blinkfrq);
    float m = mouthfactor(window.audio, window.audiolength, window.audiocurrentpoint);
    SDL_Rect rects[5];
    facerects(body[7], *window.texture[body[7].texture], b, window.keys[1], window.keys[2], m,
              rects);
    for (const SDL_Rect &rect : rects) SDL_RenderFillRect(window.renderer, &rect);
}

void draw() {
    SDL_SetRenderDrawColor(window.renderer, 125, 125, 125, 255);
    SDL_RenderClear(window.renderer);
    for (const Body &part : body) {
        const Texture &image = *window.texture[part.texture];
        SDL_Rect src = {0, 0, image.w, image.h};
        SDL_Rect dst = {part.gpos[0], SCREENHEIGHT - part.gpos[1], image.w, image.h};
        SDL_Point centre = {64, 128}; // every sprite turns about this point, whatever its size
        SDL_RenderCopyEx(window.renderer, image.t, &src, &dst, part.ga * 57, &centre,
                         SDL_FLIP_NONE);
    }
    drawface();
    SDL_RenderPresent(window.renderer);
}
