// Drawing a frame into a software renderer on a plain surface, read back pixel by pixel.
#include "app.h"
#include "draw.h"
#include "figure.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

const Uint32 FORMAT = SDL_PIXELFORMAT_ARGB8888;

struct Colour {
    Uint8 r, g, b;
    bool operator==(const Colour &o) const { return r == o.r && g == o.g && b == o.b; }
};

std::ostream &operator<<(std::ostream &os, const Colour &c) {
    return os << "(" << (int)c.r << "," << (int)c.g << "," << (int)c.b << ")";
}

const Colour GREY = {125, 125, 125};
const Colour BLACK = {0, 0, 0};
const Colour BLUE = {0, 0, 255};
const Colour GREEN = {0, 200, 0};
const Colour RED = {255, 0, 0};

// A sprite of one colour with an 8 x 8 red marker whose top-left corner is at (mx, my).
SDL_Surface *sprite(int w, int h, Colour fill, int mx, int my) {
    SDL_Surface *s = SDL_CreateRGBSurfaceWithFormat(0, w, h, 32, FORMAT);
    SDL_FillRect(s, nullptr, SDL_MapRGB(s->format, fill.r, fill.g, fill.b));
    SDL_Rect marker = {mx, my, 8, 8};
    SDL_FillRect(s, &marker, SDL_MapRGB(s->format, RED.r, RED.g, RED.b));
    return s;
}

// The window, 1280 wide; taller than the 720 the program draws into, so that a sprite turned
// about the bottom edge is still seen.
class Drawing : public testing::Test {
  protected:
    SDL_Surface *target = nullptr;
    Texture images[3] = {};

    void SetUp() override {
        memset(&window, 0, sizeof window);
        memset(body, 0, sizeof body);
        target = SDL_CreateRGBSurfaceWithFormat(0, 1280, 900, 32, FORMAT);
        ASSERT_NE(target, nullptr);
        window.renderer = SDL_CreateSoftwareRenderer(target);
        ASSERT_NE(window.renderer, nullptr) << SDL_GetError();
        setimage(0, sprite(128, 128, BLUE, 96, 20));
        setimage(1, sprite(128, 128, BLUE, 60, 60));
        setimage(2, sprite(128, 128, GREEN, 0, 0));
        for (int i = 0; i < 3; i++) window.texture[i] = &images[i];
        // Every part out of sight unless a test places it.
        for (Body &b : body) {
            b.gpos[0] = -2000;
            b.gpos[1] = -2000;
        }
        body[7].texture = 1;
    }

    void TearDown() override {
        for (Texture &t : images)
            if (t.t) SDL_DestroyTexture(t.t);
        if (window.renderer) SDL_DestroyRenderer(window.renderer);
        if (target) SDL_FreeSurface(target);
        memset(&window, 0, sizeof window);
    }

    void setimage(int i, SDL_Surface *s) {
        SDL_SetColorKey(s, SDL_TRUE, SDL_MapRGB(s->format, 255, 255, 255));
        if (images[i].t) SDL_DestroyTexture(images[i].t);
        images[i].t = SDL_CreateTextureFromSurface(window.renderer, s);
        images[i].w = s->w;
        images[i].h = s->h;
        SDL_FreeSurface(s);
        ASSERT_NE(images[i].t, nullptr) << SDL_GetError();
    }

    Colour at(int x, int y) const {
        Uint32 pixel = ((const Uint32 *)((const Uint8 *)target->pixels + y * target->pitch))[x];
        Colour c;
        SDL_GetRGB(pixel, target->format, &c.r, &c.g, &c.b);
        return c;
    }

    // Centre of the red marker pixels, in window pixels (pixel x covers x to x + 1).
    bool marker(double &cx, double &cy, int &count) const {
        double sx = 0, sy = 0;
        count = 0;
        for (int y = 0; y < target->h; y++)
            for (int x = 0; x < target->w; x++)
                if (at(x, y) == RED) {
                    sx += x + 0.5;
                    sy += y + 0.5;
                    count++;
                }
        if (count == 0) return false;
        cx = sx / count;
        cy = sy / count;
        return true;
    }
};

TEST_F(Drawing, BackgroundIsGrey) {
    draw();
    const int spots[][2] = {{0, 0}, {1279, 0}, {640, 360}, {0, 719}, {1279, 719}, {640, 899}};
    for (const auto &p : spots) EXPECT_EQ(at(p[0], p[1]), GREY) << p[0] << "," << p[1];
}

TEST_F(Drawing, UnturnedSpriteSitsAtItsGlobalPosition) {
    body[0].gpos[0] = 576;
    body[0].gpos[1] = 128;
    draw();
    // World (576, 128) is window (576, 592); the 128 x 128 sprite reaches down to row 719.
    EXPECT_EQ(at(576, 592), BLUE);
    EXPECT_EQ(at(703, 592), BLUE);
    EXPECT_EQ(at(576, 719), BLUE);
    EXPECT_EQ(at(703, 719), BLUE);
    EXPECT_EQ(at(575, 600), GREY);
    EXPECT_EQ(at(600, 591), GREY);
    EXPECT_EQ(at(704, 600), GREY);
    EXPECT_EQ(at(600, 720), GREY);
}

TEST_F(Drawing, LaterPartsAreDrawnOverEarlierOnes) {
    body[0].gpos[0] = body[5].gpos[0] = 300;
    body[0].gpos[1] = body[5].gpos[1] = 400;
    body[5].texture = 2;
    draw();
    EXPECT_EQ(at(360, 380), GREEN);
}

TEST_F(Drawing, WhitePixelsAreTransparent) {
    SDL_Surface *s = sprite(128, 128, BLUE, 96, 20);
    SDL_Rect hole = {10, 10, 20, 20};
    SDL_FillRect(s, &hole, SDL_MapRGB(s->format, 255, 255, 255));
    setimage(0, s);
    body[0].gpos[0] = 576;
    body[0].gpos[1] = 128;
    draw();
    EXPECT_EQ(at(576 + 15, 592 + 15), GREY);
    EXPECT_EQ(at(576 + 40, 592 + 40), BLUE);
}

struct TurnCase {
    int width;     // sprite width; the marker's centre is 28 px left of the right edge
    float ga;      // global angle
    double cx, cy; // where the marker's centre lands when turned ga * 57 degrees clockwise
};

// The sprite at world (576, 128) always turns about window pixel (640, 720), whatever its
// width. Marker centres: (100, 24) in the 128-wide sprite, (36, 24) in the 64-wide one,
// whose pivot lies on its right edge.
const TurnCase turncases[] = {
    {128, 0.0f, 676.0, 616.0},    {128, 3.0f, 620.71, 828.35}, // 171 degrees clockwise
    {128, -3.0f, 588.17, 817.09},                              // 171 degrees anticlockwise
    {128, 6.0f, 642.10, 609.97},                               // 342 degrees, not 343.8
    {64, 0.0f, 612.0, 616.0},     {64, 3.0f, 683.92, 818.34},
};

TEST_F(Drawing, SpritesTurnAboutTheirPivot) {
    for (const TurnCase &c : turncases) {
        SCOPED_TRACE(testing::Message() << "width " << c.width << " angle " << c.ga);
        setimage(0, sprite(c.width, 128, BLUE, c.width - 32, 20));
        body[0].gpos[0] = 576;
        body[0].gpos[1] = 128;
        body[0].ga = c.ga;
        draw();
        double cx, cy;
        int count;
        ASSERT_TRUE(marker(cx, cy, count));
        EXPECT_NEAR(count, 64, 16);
        EXPECT_NEAR(cx, c.cx, 1.5);
        EXPECT_NEAR(cy, c.cy, 1.5);
    }
}

TEST_F(Drawing, FaceIsDrawnOnTheHead) {
    body[7].gpos[0] = 576;
    body[7].gpos[1] = 356;
    // A clip whose peak of 6000 at the position opens the mouth to (625, 427, 40, 15).
    std::vector<Uint8> clip(200, 0);
    clip[2 * 49] = 6000 & 0xFF;
    clip[2 * 49 + 1] = 6000 >> 8;
    window.audio = clip.data();
    window.audiolength = (int)clip.size();
    window.audiocurrentpoint = 49;
    draw();
    // Eye rows 397 and 398 are covered at every point of the blink cycle.
    EXPECT_EQ(at(617, 397), BLACK);
    EXPECT_EQ(at(677, 398), BLACK);
    EXPECT_EQ(at(600, 397), BLUE);
    EXPECT_EQ(at(640, 434), BLACK);
    EXPECT_EQ(at(625, 427), BLACK);
    EXPECT_EQ(at(664, 441), BLACK);
    EXPECT_EQ(at(624, 434), BLUE);
    EXPECT_EQ(at(665, 434), BLUE);
    EXPECT_EQ(at(640, 442), BLUE);
    window.audio = nullptr;
}

} // namespace
