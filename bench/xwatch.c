/* Watches a box of a window on the X server, cheaply: one XGetImage of the
 * box alone every 15 ms (1 ms after a key). For bench/user-level.sh.
 *
 *   xwatch colours WINDOW X Y W H MIN TIMEOUT   the box holds MIN colours or more
 *   xwatch change  WINDOW X Y W H TIMEOUT       the box differs from its first look
 *   xwatch where   WINDOW TIMEOUT               prints when it is there, and its X Y W H
 *   xwatch close   WINDOW TIMEOUT               asks it to close, as a close box does
 *   xwatch key     WINDOW X Y W H KEY TIMEOUT   presses KEY (a keysym name) once, auto-repeat set as
 *                                               `xset r rate 500 30` does, and prints the milliseconds
 *                                               until the box differs (looked at every millisecond)
 *
 * WINDOW is "name:TITLE" or "pid:PID" (a viewable top-level window). X Y are
 * from the window's top-left corner; -1 centres the box that way. Times are
 * wall-clock seconds since the epoch; all exit 1 on timeout. */
#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

static Display *display;

/* libXtst's, declared here: the library comes with xdotool, its
 * header only with libxtst-dev. */
extern int XTestFakeKeyEvent(Display *display, unsigned int keycode, Bool press, unsigned long delay);

static double now(int clock)
{
    struct timespec t;
    clock_gettime(clock, &t);
    return t.tv_sec + t.tv_nsec / 1e9;
}

static int matches(Window w, const char *target)
{
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display, w, &attributes) || attributes.map_state != IsViewable)
        return 0;
    int pid = strncmp(target, "pid:", 4) == 0;
    Atom property = XInternAtom(display, pid ? "_NET_WM_PID" : "_NET_WM_NAME", False);
    Atom type;
    int format;
    unsigned long count, after;
    unsigned char *data = NULL;
    int found = 0;
    if (XGetWindowProperty(display, w, property, 0, 1024, False, AnyPropertyType, &type, &format, &count, &after, &data)
            == Success
        && data) {
        if (pid)
            found = count == 1 && format == 32 && *(unsigned long *)data == strtoul(target + 4, NULL, 10);
        else
            found = strcmp((const char *)data, target + 5) == 0;
    }
    if (data)
        XFree(data);
    return found;
}

static Window find(const char *target)
{
    Window root, parent, *children = NULL, found = 0;
    unsigned int n;
    if (XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &n)) {
        for (unsigned int i = n; i-- > 0 && !found;) /* topmost first */
            if (matches(children[i], target))
                found = children[i];
        XFree(children);
    }
    return found;
}

static int ignoreErrors(Display *d, XErrorEvent *e)
{
    (void)d, (void)e;
    return 0;
}

static void sleepMs(int ms)
{
    struct timespec t = {0, ms * 1000 * 1000};
    nanosleep(&t, NULL);
}

/* Down and up, as a quick finger: no repeat at the rate set. */
static void pressKey(const char *name)
{
    XkbSetAutoRepeatRate(display, XkbUseCoreKbd, 500, 1000 / 30);
    const KeyCode code = XKeysymToKeycode(display, XStringToKeysym(name));
    XTestFakeKeyEvent(display, code, True, 0);
    XTestFakeKeyEvent(display, code, False, 0);
    XFlush(display);
}

static int compare(const void *a, const void *b)
{
    unsigned long x = *(const unsigned long *)a, y = *(const unsigned long *)b;
    return x < y ? -1 : x > y;
}

/* The box's pixels, or NULL while the window is not there. */
static unsigned long *grab(const char *target, int x, int y, int w, int h)
{
    Window window = find(target), child;
    XWindowAttributes a;
    int rx, ry;
    if (!window || !XGetWindowAttributes(display, window, &a))
        return NULL;
    x = x < 0 ? (a.width - w) / 2 : x;
    y = y < 0 ? (a.height - h) / 2 : y;
    if (!XTranslateCoordinates(display, window, DefaultRootWindow(display), x, y, &rx, &ry, &child))
        return NULL;
    XImage *image = XGetImage(display, DefaultRootWindow(display), rx, ry, w, h, AllPlanes, ZPixmap);
    if (!image)
        return NULL;
    unsigned long *pixels = malloc(sizeof *pixels * w * h);
    for (int j = 0; j < h; ++j)
        for (int i = 0; i < w; ++i)
            pixels[j * w + i] = XGetPixel(image, i, j);
    XDestroyImage(image);
    return pixels;
}

int main(int argc, char **argv)
{
    if (argc < 4 || !(display = XOpenDisplay(NULL)))
        return 2;
    XSetErrorHandler(ignoreErrors); /* windows come and go under us */
    const char *mode = argv[1], *target = argv[2];
    const double deadline = now(CLOCK_MONOTONIC) + atof(argv[argc - 1]);
    if (!strcmp(mode, "where") || !strcmp(mode, "close")) {
        for (; now(CLOCK_MONOTONIC) < deadline; sleepMs(15)) {
            Window window = find(target), child;
            XWindowAttributes a;
            int x, y;
            if (!window || !XGetWindowAttributes(display, window, &a)
                || !XTranslateCoordinates(display, window, a.root, 0, 0, &x, &y, &child))
                continue;
            if (!strcmp(mode, "where")) {
                printf("%.6f %d %d %d %d\n", now(CLOCK_REALTIME), x, y, a.width, a.height);
            } else {
                XEvent event = {0};
                event.xclient.type = ClientMessage;
                event.xclient.window = window;
                event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
                event.xclient.format = 32;
                event.xclient.data.l[0] = XInternAtom(display, "WM_DELETE_WINDOW", False);
                XSendEvent(display, window, False, NoEventMask, &event);
                XSync(display, False);
            }
            return 0;
        }
        return 1;
    }
    if (argc < 8)
        return 2;
    const int x = atoi(argv[3]), y = atoi(argv[4]), w = atoi(argv[5]), h = atoi(argv[6]);
    const int least = !strcmp(mode, "colours") ? atoi(argv[7]) : 0;
    const int key = !strcmp(mode, "key");
    unsigned long *first = NULL;
    double pressed = 0;
    for (; now(CLOCK_MONOTONIC) < deadline; sleepMs(key ? 1 : 15)) {
        unsigned long *pixels = grab(target, x, y, w, h);
        const double at = now(CLOCK_REALTIME);
        if (!pixels)
            continue;
        int done;
        if (least) {
            qsort(pixels, (size_t)w * h, sizeof *pixels, compare);
            int colours = 1;
            for (int i = 1; i < w * h; ++i)
                colours += pixels[i] != pixels[i - 1];
            done = colours >= least;
        } else if (!first) {
            first = pixels;
            if (key) {
                pressed = now(CLOCK_MONOTONIC);
                pressKey(argv[7]);
            }
            continue;
        } else {
            done = memcmp(first, pixels, sizeof *pixels * w * h) != 0;
        }
        free(pixels);
        if (done && key) {
            printf("%.1f\n", (now(CLOCK_MONOTONIC) - pressed) * 1000);
            return 0;
        } else if (done) {
            printf("%.6f\n", at);
            return 0;
        }
    }
    return 1;
}
