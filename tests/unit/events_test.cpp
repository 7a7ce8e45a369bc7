// The event pump: real SDL events pushed onto the queue, then drained into the window flags.
#include "app.h"
#include "figure.h"
#include "main.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

struct Flags {
    char shouldclose;
    char keys[3];
    char mb[3];
    int mp[2];
};

bool operator==(const Flags &a, const Flags &b) {
    return a.shouldclose == b.shouldclose && !memcmp(a.keys, b.keys, 3) && !memcmp(a.mb, b.mb, 3) &&
           a.mp[0] == b.mp[0] && a.mp[1] == b.mp[1];
}

std::ostream &operator<<(std::ostream &os, const Flags &f) {
    return os << "close " << (int)f.shouldclose << " keys " << (int)f.keys[0] << (int)f.keys[1]
              << (int)f.keys[2] << " mb " << (int)f.mb[0] << (int)f.mb[1] << (int)f.mb[2] << " mp "
              << f.mp[0] << "," << f.mp[1];
}

Flags flags() {
    Flags f;
    f.shouldclose = window.shouldclose;
    memcpy(f.keys, window.keys, 3);
    memcpy(f.mb, window.mb, 3);
    f.mp[0] = window.mp[0];
    f.mp[1] = window.mp[1];
    return f;
}

void setflags(const Flags &f) {
    memset(&window, 0, sizeof window);
    window.shouldclose = f.shouldclose;
    memcpy(window.keys, f.keys, 3);
    memcpy(window.mb, f.mb, 3);
    window.mp[0] = f.mp[0];
    window.mp[1] = f.mp[1];
}

SDL_Event key(Uint32 type, SDL_Scancode code, Uint8 repeat = 0) {
    SDL_Event e{};
    e.type = type;
    e.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
    e.key.repeat = repeat;
    e.key.keysym.scancode = code;
    e.key.keysym.sym = SDL_GetKeyFromScancode(code);
    return e;
}

SDL_Event down(SDL_Scancode code, Uint8 repeat = 0) {
    return key(SDL_KEYDOWN, code, repeat);
}
SDL_Event up(SDL_Scancode code) {
    return key(SDL_KEYUP, code);
}

SDL_Event button(Uint32 type, Uint8 which) {
    SDL_Event e{};
    e.type = type;
    e.button.button = which;
    e.button.state = type == SDL_MOUSEBUTTONDOWN ? SDL_PRESSED : SDL_RELEASED;
    e.button.clicks = 1;
    return e;
}

SDL_Event press(Uint8 which) {
    return button(SDL_MOUSEBUTTONDOWN, which);
}
SDL_Event release(Uint8 which) {
    return button(SDL_MOUSEBUTTONUP, which);
}

SDL_Event motion(int x, int y) {
    SDL_Event e{};
    e.type = SDL_MOUSEMOTION;
    e.motion.x = x;
    e.motion.y = y;
    return e;
}

SDL_Event quit() {
    SDL_Event e{};
    e.type = SDL_QUIT;
    return e;
}

class Events : public testing::Test {
  protected:
    static void SetUpTestSuite() { ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0) << SDL_GetError(); }
    static void TearDownTestSuite() { SDL_Quit(); }

    void SetUp() override {
        SDL_PumpEvents();
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
        memset(&window, 0, sizeof window);
        memset(body, 0, sizeof body);
    }

    void pushall(const std::vector<SDL_Event> &events) {
        for (SDL_Event e : events) ASSERT_EQ(SDL_PushEvent(&e), 1) << SDL_GetError();
    }
};

struct EventCase {
    const char *name;
    Flags before;
    std::vector<SDL_Event> events;
    Flags after;
};

const Flags NONE = {0, {0, 0, 0}, {0, 0, 0}, {0, 0}};
const Flags HELD = {0, {0, 0, 0}, {1, 1, 1}, {0, 0}};
const Flags TOGGLED = {0, {1, 1, 1}, {0, 0, 0}, {0, 0}};

TEST_F(Events, EventsSetTheWindowFlags) {
    const EventCase cases[] = {
        {"no events", NONE, {}, NONE},
        {"window close", NONE, {quit()}, {1, {0, 0, 0}, {0, 0, 0}, {0, 0}}},
        {"escape", NONE, {down(SDL_SCANCODE_ESCAPE)}, {1, {0, 0, 0}, {0, 0, 0}, {0, 0}}},
        {"escape released", NONE, {up(SDL_SCANCODE_ESCAPE)}, NONE},
        {"F", NONE, {down(SDL_SCANCODE_F)}, {0, {1, 0, 0}, {0, 0, 0}, {0, 0}}},
        {"N", NONE, {down(SDL_SCANCODE_N)}, {0, {0, 1, 0}, {0, 0, 0}, {0, 0}}},
        {"M", NONE, {down(SDL_SCANCODE_M)}, {0, {0, 0, 1}, {0, 0, 0}, {0, 0}}},
        {"F twice", NONE, {down(SDL_SCANCODE_F), down(SDL_SCANCODE_F)}, NONE},
        {"F held with repeat",
         NONE,
         {down(SDL_SCANCODE_F), down(SDL_SCANCODE_F, 1), down(SDL_SCANCODE_F, 1)},
         {0, {1, 0, 0}, {0, 0, 0}, {0, 0}}},
        {"N and M release toggled",
         TOGGLED,
         {down(SDL_SCANCODE_N), down(SDL_SCANCODE_M)},
         {0, {1, 0, 0}, {0, 0, 0}, {0, 0}}},
        {"F toggles back", TOGGLED, {down(SDL_SCANCODE_F)}, {0, {0, 1, 1}, {0, 0, 0}, {0, 0}}},
        {"key release does nothing",
         TOGGLED,
         {up(SDL_SCANCODE_F), up(SDL_SCANCODE_N), up(SDL_SCANCODE_M)},
         TOGGLED},
        {"other keys",
         NONE,
         {down(SDL_SCANCODE_A), down(SDL_SCANCODE_RETURN), down(SDL_SCANCODE_Q),
          down(SDL_SCANCODE_LEFT)},
         NONE},
        {"left button", NONE, {press(SDL_BUTTON_LEFT)}, {0, {0, 0, 0}, {1, 0, 0}, {0, 0}}},
        {"right button", NONE, {press(SDL_BUTTON_RIGHT)}, {0, {0, 0, 0}, {0, 1, 0}, {0, 0}}},
        {"middle button", NONE, {press(SDL_BUTTON_MIDDLE)}, {0, {0, 0, 0}, {0, 0, 1}, {0, 0}}},
        {"left released", HELD, {release(SDL_BUTTON_LEFT)}, {0, {0, 0, 0}, {0, 1, 1}, {0, 0}}},
        {"right released", HELD, {release(SDL_BUTTON_RIGHT)}, {0, {0, 0, 0}, {1, 0, 1}, {0, 0}}},
        {"middle released", HELD, {release(SDL_BUTTON_MIDDLE)}, {0, {0, 0, 0}, {1, 1, 0}, {0, 0}}},
        {"click within one batch", NONE, {press(SDL_BUTTON_LEFT), release(SDL_BUTTON_LEFT)}, NONE},
        {"release then press", HELD, {release(SDL_BUTTON_RIGHT), press(SDL_BUTTON_RIGHT)}, HELD},
        {"buttons 4 and 5 pressed", NONE, {press(SDL_BUTTON_X1), press(SDL_BUTTON_X2)}, NONE},
        {"buttons 4 and 5 released", HELD, {release(SDL_BUTTON_X1), release(SDL_BUTTON_X2)}, HELD},
        {"motion", NONE, {motion(300, 200)}, {0, {0, 0, 0}, {0, 0, 0}, {300, 200}}},
        {"last motion counts",
         NONE,
         {motion(300, 200), motion(1279, 719), motion(5, 700)},
         {0, {0, 0, 0}, {0, 0, 0}, {5, 700}}},
        {"everything at once",
         NONE,
         {motion(10, 20), press(SDL_BUTTON_MIDDLE), down(SDL_SCANCODE_N), quit()},
         {1, {0, 1, 0}, {0, 0, 1}, {10, 20}}},
    };
    for (const EventCase &c : cases) {
        SCOPED_TRACE(c.name);
        setflags(c.before);
        pushall(c.events);
        handleevents();
        EXPECT_EQ(flags(), c.after);
        // The queue is drained in one call.
        EXPECT_EQ(SDL_PeepEvents(nullptr, 0, SDL_PEEKEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT), 0);
    }
}

TEST_F(Events, KeyHandlerAloneActsOnScancodes) {
    eventkeydown(down(SDL_SCANCODE_M));
    EXPECT_EQ(window.keys[2], 1);
    // The scancode decides, not the layout's key symbol.
    SDL_Event e = down(SDL_SCANCODE_F);
    e.key.keysym.sym = SDLK_a;
    eventkeydown(e);
    EXPECT_EQ(window.keys[0], 1);
    e = down(SDL_SCANCODE_A);
    e.key.keysym.sym = SDLK_f;
    eventkeydown(e);
    EXPECT_EQ(window.keys[0], 1);
    eventkeyup(up(SDL_SCANCODE_ESCAPE));
    EXPECT_EQ(window.shouldclose, 0);
}

TEST_F(Events, SpaceKicksEveryPartByTheNextRandomNumbers) {
    for (int i = 0; i < 8; i++) body[i].a = 0.4f * i - 1.3f;
    for (unsigned seed : {1u, 77u, 4242u}) {
        SCOPED_TRACE(testing::Message() << "seed " << seed);
        srand(seed);
        int r[8];
        for (int &v : r) v = rand();
        float expected[8];
        for (int i = 0; i < 8; i++) expected[i] = body[i].a + (2 * sinrand(r[i]) - 1);
        srand(seed);
        pushall({down(SDL_SCANCODE_SPACE)});
        handleevents();
        for (int i = 0; i < 8; i++) EXPECT_EQ(body[i].a, expected[i]) << "part " << i;
        // The flags are untouched.
        EXPECT_EQ(flags(), NONE);
    }
}

} // namespace
