// The playback clock and its per-frame print, and loading images into textures.
#include "app.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

TEST(PlayPosition, ElapsedTimeTimesRate) {
    struct Case {
        Uint32 start, now;
        int freq;
        int expected;
    } cases[] = {
        {0, 0, 22050, 0},
        {1000, 1032, 22050, 705}, // 705.6, truncated
        {0, 1000, 44100, 44100},
        {5000, 5511, 22050, 11267},               // 11267.55
        {0xFFFFFF00u, 0x000000FFu, 22050, 11267}, // the tick counter wrapped: 511 ms
        {0, 17000, 22050, 374850},
        {0, 0xFFFFFFFFu, 1, 4294967},
        {0, 0xFFFFFFFFu, 22050, INT_MAX}, // clamped, not overflowed
        {0, 0xFFFFFFFFu, 192000, INT_MAX},
        {0, 0xFFFFFFFFu, INT_MAX, INT_MAX},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(playposition(c.start, c.now, c.freq), c.expected)
            << c.start << " to " << c.now << " at " << c.freq;
    }
}

TEST(PlayPosition, ExactProductsMayComeOutOneLess) {
    // t * freq a multiple of 1000: dividing first can leave the result just under the quotient.
    struct Case {
        Uint32 t;
        int freq;
    } cases[] = {{20, 22050}, {80, 22050}, {100, 22050}, {1, 8000}, {7, 48000}, {3, 44100}};
    for (const Case &c : cases) {
        long long exact = (long long)c.t * c.freq / 1000;
        int got = playposition(0, c.t, c.freq);
        EXPECT_GE(got, exact - 1) << c.t << " ms at " << c.freq;
        EXPECT_LE(got, exact) << c.t << " ms at " << c.freq;
    }
}

TEST(ClipByte, InsideAndOutsideTheClip) {
    const Uint8 clip[4] = {7, 200, 0, 255};
    EXPECT_EQ(clipbyte(clip, 4, 0), 7);
    EXPECT_EQ(clipbyte(clip, 4, 1), 200);
    EXPECT_EQ(clipbyte(clip, 4, 3), 255);
    EXPECT_EQ(clipbyte(clip, 4, 4), 0);
    EXPECT_EQ(clipbyte(clip, 4, INT_MAX), 0);
    EXPECT_EQ(clipbyte(clip, 4, -1), 0);
    EXPECT_EQ(clipbyte(nullptr, 0, 500), 0);
}

class ClockStep : public testing::Test {
  protected:
    std::vector<Uint8> clip;

    void SetUp() override { memset(&window, 0, sizeof window); }
    void TearDown() override { memset(&window, 0, sizeof window); }

    // A clip whose byte i is i % 251 (never 0 from byte 1 on, so a wrong offset shows).
    void useclip(int bytes, int freq) {
        clip.resize(bytes);
        for (int i = 0; i < bytes; i++) clip[i] = (Uint8)(i % 251);
        window.audio = clip.data();
        window.audiolength = bytes;
        window.wavspec.freq = freq;
    }

    std::string step(Uint32 start, Uint32 now) {
        testing::internal::CaptureStdout();
        clockstep(start, now);
        return testing::internal::GetCapturedStdout();
    }
};

TEST_F(ClockStep, AdvancesFromTheClockAndPrintsTheByteThere) {
    useclip(4000, 22050);
    window.audiocurrentpoint = 500;
    EXPECT_EQ(step(100, 132), std::to_string(705 % 251) + "\n");
    EXPECT_EQ(window.audiocurrentpoint, 705);
    EXPECT_EQ(step(100, 181), std::to_string(1786 % 251) + "\n");
    EXPECT_EQ(window.audiocurrentpoint, 1786);
}

TEST_F(ClockStep, StopsAtTheEndOfTheClip) {
    useclip(4000, 22050);
    window.audiocurrentpoint = 2000; // 2000 values fill the 4000 bytes
    // The print reads the byte at the position taken as a byte offset.
    EXPECT_EQ(step(0, 5000), std::to_string(2000 % 251) + "\n");
    EXPECT_EQ(window.audiocurrentpoint, 2000);
    window.audiocurrentpoint = 1999;
    step(0, 101);
    EXPECT_EQ(window.audiocurrentpoint, 2227);
    EXPECT_EQ(step(0, 200), std::to_string(2227 % 251) + "\n");
    EXPECT_EQ(window.audiocurrentpoint, 2227);
}

TEST_F(ClockStep, OddLengthStopsAtHalfRoundedUp) {
    useclip(4001, 22050);
    window.audiocurrentpoint = 2000; // 4000 < 4001: one more step
    EXPECT_EQ(step(0, 97), std::to_string(2138 % 251) + "\n");
    EXPECT_EQ(window.audiocurrentpoint, 2138);
    step(0, 3000);
    EXPECT_EQ(window.audiocurrentpoint, 2138);
}

TEST_F(ClockStep, PrintsZeroOutsideTheClip) {
    useclip(500, 22050);
    window.audiocurrentpoint = 500; // a clip of 500 bytes never advances
    EXPECT_EQ(step(0, 1000), "0\n");
    EXPECT_EQ(window.audiocurrentpoint, 500);
    useclip(3000, 22050);
    window.audiocurrentpoint = 500;
    EXPECT_EQ(step(0, 0xFFFFFFFFu), "0\n"); // one long frame far past the end
    EXPECT_EQ(window.audiocurrentpoint, INT_MAX);
}

TEST_F(ClockStep, ByteIsPrintedUnsigned) {
    useclip(2000, 1000);
    clip[250] = 0xFF;
    clip[500] = 0x80;
    window.audiocurrentpoint = 0;
    EXPECT_EQ(step(0, 250), "255\n");
    EXPECT_EQ(step(0, 500), "128\n");
}

// A software renderer stands in for the window's.
class LoadTexture : public testing::Test {
  protected:
    SDL_Surface *target = nullptr;
    std::string dir;

    void SetUp() override {
        memset(&window, 0, sizeof window);
        target = SDL_CreateRGBSurfaceWithFormat(0, 64, 64, 32, SDL_PIXELFORMAT_ARGB8888);
        ASSERT_NE(target, nullptr);
        window.renderer = SDL_CreateSoftwareRenderer(target);
        ASSERT_NE(window.renderer, nullptr) << SDL_GetError();
        char templ[] = "/tmp/loadtextureXXXXXX";
        ASSERT_NE(mkdtemp(templ), nullptr);
        dir = templ;
    }

    void TearDown() override {
        for (const std::string &f : files) remove(f.c_str());
        rmdir(dir.c_str());
        if (window.renderer) SDL_DestroyRenderer(window.renderer);
        if (target) SDL_FreeSurface(target);
        memset(&window, 0, sizeof window);
    }

    std::vector<std::string> files;

    std::string path(const char *name) {
        files.push_back(dir + "/" + name);
        return files.back();
    }

    // A 5 x 3 image: white, pure red, off-white (254, 255, 255) and dark blue pixels.
    std::string writebmp(const char *name, Uint32 format) {
        SDL_Surface *s = SDL_CreateRGBSurfaceWithFormat(0, 5, 3, 32, format);
        SDL_FillRect(s, nullptr, SDL_MapRGB(s->format, 255, 255, 255));
        SDL_Rect red = {1, 0, 1, 3}, offwhite = {2, 0, 1, 3}, blue = {3, 1, 2, 1};
        SDL_FillRect(s, &red, SDL_MapRGB(s->format, 255, 0, 0));
        SDL_FillRect(s, &offwhite, SDL_MapRGB(s->format, 254, 255, 255));
        SDL_FillRect(s, &blue, SDL_MapRGB(s->format, 0, 0, 90));
        std::string p = path(name);
        EXPECT_EQ(SDL_SaveBMP(s, p.c_str()), 0) << SDL_GetError();
        SDL_FreeSurface(s);
        return p;
    }

    int bitsperpixel(const std::string &p) {
        FILE *f = fopen(p.c_str(), "rb");
        unsigned char header[30] = {};
        size_t got = fread(header, 1, sizeof header, f);
        fclose(f);
        return got == sizeof header ? header[28] | header[29] << 8 : -1;
    }

    void writefile(const std::string &p, const std::vector<Uint8> &bytes) {
        FILE *f = fopen(p.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        if (!bytes.empty()) fwrite(bytes.data(), 1, bytes.size(), f);
        fclose(f);
    }

    std::vector<Uint8> readfile(const std::string &p) {
        std::vector<Uint8> bytes;
        FILE *f = fopen(p.c_str(), "rb");
        int c;
        while ((c = fgetc(f)) != EOF) bytes.push_back((Uint8)c);
        fclose(f);
        return bytes;
    }

    void pixel(int x, int y, Uint8 &r, Uint8 &g, Uint8 &b) {
        Uint32 p = ((Uint32 *)((Uint8 *)target->pixels + y * target->pitch))[x];
        SDL_GetRGB(p, target->format, &r, &g, &b);
    }

    // Copies the texture at 2x scale onto grey and checks every pixel of the 5 x 3 image.
    void expectkeyed(const Texture *t) {
        ASSERT_NE(t, nullptr);
        EXPECT_NE(t->t, nullptr);
        EXPECT_EQ(t->w, 5);
        EXPECT_EQ(t->h, 3);
        SDL_SetRenderDrawColor(window.renderer, 125, 125, 125, 255);
        SDL_RenderClear(window.renderer);
        SDL_Rect dst = {10, 10, 5, 3};
        SDL_RenderCopy(window.renderer, t->t, nullptr, &dst);
        SDL_RenderPresent(window.renderer);
        for (int y = 0; y < 3; y++) {
            for (int x = 0; x < 5; x++) {
                SCOPED_TRACE(testing::Message() << "pixel " << x << "," << y);
                Uint8 r, g, b;
                pixel(10 + x, 10 + y, r, g, b);
                if (x == 1) {
                    EXPECT_EQ(r, 255);
                    EXPECT_EQ(g, 0);
                    EXPECT_EQ(b, 0);
                } else if (x == 2) {
                    EXPECT_EQ(r, 254);
                    EXPECT_EQ(g, 255);
                    EXPECT_EQ(b, 255);
                } else if (y == 1 && x >= 3) {
                    EXPECT_EQ(r, 0);
                    EXPECT_EQ(g, 0);
                    EXPECT_EQ(b, 90);
                } else {
                    EXPECT_EQ(r, 125) << "white should be transparent";
                    EXPECT_EQ(g, 125);
                    EXPECT_EQ(b, 125);
                }
            }
        }
    }
};

TEST_F(LoadTexture, WhiteIsTransparentAtEitherDepth) {
    const struct {
        const char *name;
        Uint32 format;
        int bits;
    } cases[] = {
        {"rgb24.bmp", SDL_PIXELFORMAT_RGB888, 24},
        {"argb32.bmp", SDL_PIXELFORMAT_ARGB8888, 32},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        std::string p = writebmp(c.name, c.format);
        ASSERT_EQ(bitsperpixel(p), c.bits);
        Texture *t = loadtexture(p.c_str());
        expectkeyed(t);
        SDL_DestroyTexture(t->t);
        delete t;
    }
}

TEST_F(LoadTexture, SizeIsTheImages) {
    SDL_Surface *s = SDL_CreateRGBSurfaceWithFormat(0, 129, 70, 24, SDL_PIXELFORMAT_RGB24);
    SDL_FillRect(s, nullptr, 0);
    std::string p = path("odd.bmp");
    ASSERT_EQ(SDL_SaveBMP(s, p.c_str()), 0);
    SDL_FreeSurface(s);
    Texture *t = loadtexture(p.c_str());
    EXPECT_EQ(t->w, 129);
    EXPECT_EQ(t->h, 70);
    SDL_DestroyTexture(t->t);
    delete t;
}

TEST_F(LoadTexture, UnreadableFilesEndTheProcess) {
    std::string good = writebmp("good.bmp", SDL_PIXELFORMAT_RGB888);
    std::vector<Uint8> bytes = readfile(good);
    ASSERT_GT(bytes.size(), 60u);

    std::string missing = dir + "/missing.bmp";
    std::string empty = path("empty.bmp");
    writefile(empty, {});
    std::string header = path("header.bmp");
    writefile(header, std::vector<Uint8>(bytes.begin(), bytes.begin() + 20));
    std::string truncated = path("truncated.bmp");
    writefile(truncated, std::vector<Uint8>(bytes.begin(), bytes.end() - 10));
    std::string text = path("text.bmp");
    const char *words = "this is not an image\n";
    writefile(text, std::vector<Uint8>(words, words + strlen(words)));

    for (const std::string &p : {missing, empty, header, truncated, text}) {
        SCOPED_TRACE(p);
        EXPECT_EXIT(loadtexture(p.c_str()), testing::ExitedWithCode(1), "");
    }
}

} // namespace
