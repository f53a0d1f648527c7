// The window in-process on a private X server: what update() takes, presents
// and hands on, and what reaches the screen, including the scaled picture
// when the display lacks the requested mode.
#include "GLStateChecks.h"
#include "XClient.h"
#include "XServer.h"
#include "display/GLWindow.h"
#include "display/Keyboard.h"

#include <SDL.h>
#include <gtest/gtest.h>

using namespace testsupport;
using namespace std::chrono_literals;

namespace {

constexpr uint32_t red = 0xFF0000;
constexpr uint32_t blue = 0x0000FF;
constexpr uint32_t black = 0x000000;

void fill(float r, float g, float b)
{
    glClearColor(r, g, b, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
}

// Empties the event queue so the next update() finds it empty.
void drainEvents()
{
    SDL_PumpEvents();
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
}

void push(const SDL_Event& event)
{
    SDL_Event copy = event;
    ASSERT_EQ(SDL_PushEvent(&copy), 1);
}

// How many updates return true before one takes the quit message; -1 if
// none does within a generous number (the window system may queue events of
// its own, such as focus changes, ahead of ours).
int updatesUntilQuit(GLWindow& window)
{
    for (int i = 0; i < 50; ++i)
        if (!window.update())
            return i;
    return -1;
}

struct WindowOnScreen {
    XServer server;
    XClient client;
    std::unique_ptr<GLWindow> window;

    WindowOnScreen(int screenWidth, int screenHeight) : server(screenWidth, screenHeight), client(server.name())
    {
        server.exportDisplay();
        window = std::make_unique<GLWindow>(800, 600, 32, true, "Brakvane test");
    }
};

} // namespace

TEST(GLWindow, EmptyQueuePresentsAndQuitAtTheHeadDoesNot)
{
    WindowOnScreen w(800, 600);
    ASSERT_NE(w.window->hWnd, nullptr);
    drainEvents();
    fill(1, 0, 0);
    EXPECT_TRUE(w.window->update());
    EXPECT_EQ(w.client.grabScreen().at(400, 300), red);

    // The second present of a pass shows the same frame, not a stale one.
    drainEvents();
    EXPECT_TRUE(w.window->update());
    EXPECT_EQ(w.client.grabScreen().at(10, 10), red);

    drainEvents();
    fill(0, 0, 1);
    SDL_Event quit{};
    quit.type = SDL_QUIT;
    push(quit);
    EXPECT_FALSE(w.window->update());
    EXPECT_EQ(w.client.grabScreen().at(400, 300), red) << "the quit message must not present";
}

TEST(GLWindow, EscapeKeyDownPostsTheQuitMessageForALaterUpdate)
{
    WindowOnScreen w(800, 600);
    ASSERT_NE(w.window->hWnd, nullptr);
    drainEvents();
    SDL_Event key{};
    key.type = SDL_KEYDOWN;
    key.key.windowID = SDL_GetWindowID(w.window->hWnd);
    key.key.state = SDL_PRESSED;
    key.key.keysym.scancode = SDL_SCANCODE_ESCAPE;
    key.key.keysym.sym = SDLK_ESCAPE;
    push(key);
    EXPECT_GE(updatesUntilQuit(*w.window), 1) << "the key-down itself is handled, not taken as the quit";
}

TEST(GLWindow, OtherKeysDoNotQuit)
{
    WindowOnScreen w(800, 600);
    drainEvents();
    SDL_Event key{};
    key.type = SDL_KEYDOWN;
    key.key.keysym.scancode = SDL_SCANCODE_Q;
    key.key.keysym.sym = SDLK_q;
    push(key);
    EXPECT_EQ(updatesUntilQuit(*w.window), -1);
}

TEST(GLWindow, CloseRequestHidesTheWindowThenQuits)
{
    WindowOnScreen w(800, 600);
    ASSERT_NE(w.window->hWnd, nullptr);
    drainEvents();
    SDL_Event close{};
    close.type = SDL_WINDOWEVENT;
    close.window.event = SDL_WINDOWEVENT_CLOSE;
    close.window.windowID = SDL_GetWindowID(w.window->hWnd);
    push(close);
    EXPECT_GE(updatesUntilQuit(*w.window), 1);
    EXPECT_EQ(w.client.findWindow("Brakvane test", 200ms), 0u);
}

TEST(GLWindow, EscapeKeyStateSeesAPressBetweenQueries)
{
    WindowOnScreen w(800, 600);
    ASSERT_NE(w.window->hWnd, nullptr);
    drainEvents();
    EXPECT_EQ(getAsyncKeyState(vkEscape), 0);
    ASSERT_EQ(xdotool(w.server.name(), {"key", "Escape"}), 0); // pressed and released
    int state = 0;
    // The main loop's update() pumps the window system's events between queries.
    for (int i = 0; i < 100 && state == 0; ++i) {
        SDL_Delay(10);
        SDL_PumpEvents();
        state = getAsyncKeyState(vkEscape);
    }
    EXPECT_NE(state, 0);
    EXPECT_EQ(getAsyncKeyState(vkEscape), 0) << "a press is reported once";
}

TEST(GLWindow, WithoutTheModeThePictureIsScaledToFitWithBlackBorders)
{
    WindowOnScreen w(1280, 720);
    ASSERT_NE(w.window->hWnd, nullptr);
    // Left half red, right half blue, in the window's own 800 x 600 frame.
    glEnable(GL_SCISSOR_TEST);
    glScissor(0, 0, 400, 600);
    fill(1, 0, 0);
    glScissor(400, 0, 400, 600);
    fill(0, 0, 1);
    glDisable(GL_SCISSOR_TEST);
    drainEvents();
    ASSERT_TRUE(w.window->update());
    ScreenImage screen = w.client.grabScreen();
    ASSERT_EQ(screen.width, 1280);
    // 800 x 600 scaled to 960 x 720, centred: borders of 160 on either side.
    for (int y : {0, 360, 719}) {
        EXPECT_EQ(screen.at(0, y), black);
        EXPECT_EQ(screen.at(158, y), black);
        EXPECT_EQ(screen.at(162, y), red);
        EXPECT_EQ(screen.at(637, y), red);
        EXPECT_EQ(screen.at(643, y), blue);
        EXPECT_EQ(screen.at(1117, y), blue);
        EXPECT_EQ(screen.at(1121, y), black);
        EXPECT_EQ(screen.at(1279, y), black);
    }
}

TEST(GLWindow, InitialStateIsTheOneTheDemoDrawsWith)
{
    WindowOnScreen w(800, 600);
    ASSERT_NE(w.window->hWnd, nullptr);
    testsupport::expectInitialGLState(800, 600);
    testsupport::expectDepthAndStencil();
}
