/* A Weston module that gives the compositor one seat with a pointer and a
 * keyboard. Weston's headless backend (10 to 14) offers no wl_seat, and SDL's
 * Wayland video driver refuses to start without one; loaded with --modules,
 * this module lets the tests run the demo on a headless compositor that paces
 * presents like a real display. Built against the installed libweston. */
#include <libweston/libweston.h>
#include <stdlib.h>
#include <wayland-server-core.h>

/* Exported by libweston but declared only in its private headers. */
void weston_seat_init(struct weston_seat *seat, struct weston_compositor *ec, const char *seat_name);
void weston_seat_release(struct weston_seat *seat);
int weston_seat_init_pointer(struct weston_seat *seat);
int weston_seat_init_keyboard(struct weston_seat *seat, struct xkb_keymap *keymap);

struct test_seat {
    struct weston_seat seat;
    struct wl_listener compositor_destroy;
};

static void release_seat(struct wl_listener *listener, void *data)
{
    struct test_seat *s = wl_container_of(listener, s, compositor_destroy);
    (void)data;
    wl_list_remove(&s->compositor_destroy.link);
    weston_seat_release(&s->seat);
    free(s);
}

WL_EXPORT int wet_module_init(struct weston_compositor *compositor, int *argc, char *argv[])
{
    (void)argc;
    (void)argv;
    struct test_seat *s = calloc(1, sizeof *s);
    if (!s)
        return -1;
    weston_seat_init(&s->seat, compositor, "seat0");
    if (weston_seat_init_pointer(&s->seat) < 0 || weston_seat_init_keyboard(&s->seat, NULL) < 0) {
        weston_seat_release(&s->seat);
        free(s);
        return -1;
    }
    s->compositor_destroy.notify = release_seat;
    wl_signal_add(&compositor->destroy_signal, &s->compositor_destroy);
    return 0;
}
