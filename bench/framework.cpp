// One frame of the figure's own work, without a window.
#include "framework.h"

#include "app.h"
#include "draw.h"
#include "figure.h"

#include <cmath>

static Texture images[3];

void setupframework(FrameWork &work, int imagesize) {
    const int rate = 22050;
    const int values = rate * 17;
    work.clip.resize(2 * values);
    for (int k = 0; k < values; k++) {
        double swell = 0.5 - 0.5 * cos(k * 6.283185307 / rate); // one swell a second
        Sint16 v = (Sint16)(9000 * swell * sin(k * 6.283185307 * 220 / rate));
        work.clip[2 * k] = (Uint8)(v & 0xFF);
        work.clip[2 * k + 1] = (Uint8)((v >> 8) & 0xFF);
    }
    for (int i = 0; i < 64; i++) {
        double a = i * 6.283185307 / 64;
        work.targets[i][0] = (int)(860 + 120 * cos(a));
        work.targets[i][1] = (int)(260 + 120 * sin(a));
    }
    for (int i = 0; i < 3; i++) {
        images[i].w = imagesize;
        images[i].h = imagesize;
        window.texture[i] = &images[i];
    }
    window.audio = work.clip.data();
    window.audiolength = (int)work.clip.size();
    window.wavspec.freq = rate;
    window.audiocurrentpoint = 500;
    window.mb[0] = 1;
    bodysetup();
}

void stepframe(FrameWork &work) {
    const int *pointer = work.targets[work.frame % 64];
    window.mp[0] = pointer[0];
    window.mp[1] = pointer[1];

    calcbody();
    int origin[2] = {body[3].gpos[0] + 64, body[3].gpos[1] - 128};
    int dest[2] = {window.mp[0], SCREENHEIGHT - window.mp[1]};
    FABRIK(origin, dest);
    float b = blink(work.blinkfrq);
    float m = mouthfactor(window.audio, window.audiolength, window.audiocurrentpoint);
    facerects(body[7], *window.texture[body[7].texture], b, window.keys[1], window.keys[2], m,
              work.rects);

    work.frame++;
    // 32 ms of a 22050 Hz clip, wrapping so the mouth keeps reading sound.
    window.audiocurrentpoint = (window.audiocurrentpoint + 705) % (window.audiolength / 2);
}
