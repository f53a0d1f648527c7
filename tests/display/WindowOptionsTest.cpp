// The window's options in-process on a private X server: what SDL was asked
// for (a resizable window, a high-DPI drawable, no swap interval) and where
// the window sits.
#include "XServer.h"
#include "display/GLWindow.h"

#include <SDL.h>
#include <gtest/gtest.h>

using namespace testsupport;

TEST(WindowOptions, WindowedResizableWithoutVsyncAtTheDisplaysOrigin)
{
    XServer server(1024, 768);
    ASSERT_TRUE(server.ok());
    server.exportDisplay();
    WindowOptions options;
    options.width = 500;
    options.height = 300;
    options.resizable = true;
    options.vsync = false;
    GLWindow window(800, 600, 32, false, "Brakvane options", options);
    ASSERT_NE(window.hWnd, nullptr);
    const Uint32 flags = SDL_GetWindowFlags(window.hWnd);
    EXPECT_TRUE(flags & SDL_WINDOW_RESIZABLE);
    EXPECT_TRUE(flags & SDL_WINDOW_ALLOW_HIGHDPI);
    EXPECT_FALSE(flags & SDL_WINDOW_FULLSCREEN);
    int w = 0;
    int h = 0;
    SDL_GetWindowSize(window.hWnd, &w, &h);
    EXPECT_EQ(w, 500);
    EXPECT_EQ(h, 300);
    int x = -1;
    int y = -1;
    SDL_GetWindowPosition(window.hWnd, &x, &y);
    EXPECT_EQ(x, 0);
    EXPECT_EQ(y, 0);
    EXPECT_EQ(SDL_GL_GetSwapInterval(), 0);
    EXPECT_TRUE(window.update());
}

TEST(WindowOptions, WithoutVsyncAnIntervalSetElsewhereIsDroppedBeforePresenting)
{
    XServer server(1024, 768);
    ASSERT_TRUE(server.ok());
    server.exportDisplay();
    WindowOptions options;
    options.vsync = false;
    GLWindow window(800, 600, 32, false, "Brakvane options", options);
    ASSERT_NE(window.hWnd, nullptr);
    // Mesa's software rasteriser on Xvfb has no swap control; a real display does.
    if (SDL_GL_SetSwapInterval(1) != 0 || SDL_GL_GetSwapInterval() != 1)
        GTEST_SKIP() << "the driver offers no swap interval";
    EXPECT_TRUE(window.update());
    EXPECT_EQ(SDL_GL_GetSwapInterval(), 0);
}

TEST(WindowOptions, WithoutOptionsNoSwapIntervalIsRequestedAndTheWindowIsFixed)
{
    XServer server(1024, 768);
    ASSERT_TRUE(server.ok());
    server.exportDisplay();
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0);
    {
        // The driver's own default, asked of a context nobody configured.
        SDL_Window* probe = SDL_CreateWindow("probe", 0, 0, 64, 64, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
        ASSERT_NE(probe, nullptr);
        SDL_GLContext context = SDL_GL_CreateContext(probe);
        ASSERT_NE(context, nullptr);
        const int driverDefault = SDL_GL_GetSwapInterval();
        SDL_GL_DeleteContext(context);
        SDL_DestroyWindow(probe);

        GLWindow window(800, 600, 32, false, "Brakvane options");
        ASSERT_NE(window.hWnd, nullptr);
        EXPECT_FALSE(SDL_GetWindowFlags(window.hWnd) & SDL_WINDOW_RESIZABLE);
        EXPECT_EQ(SDL_GL_GetSwapInterval(), driverDefault);
    }
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
}
