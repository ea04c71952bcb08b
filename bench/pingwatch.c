/* Asks a program's main window "are you there?" every 20 ms, as a window
 * manager does before it calls a window "not responding" (_NET_WM_PING), and
 * times the answers. For bench/frozen.sh and the end-to-end tests.
 *
 *   pingwatch TARGET SECONDS
 *
 * TARGET is "name:TITLE" or "pid:PID": the first viewable top-level window that
 * has that title or belongs to that process. Runs SECONDS, or until it gets
 * SIGTERM or SIGINT, or the window is destroyed. Prints (times are wall-clock
 * seconds since the epoch; durations in milliseconds), each line as it comes:
 *
 *   mapped T                   when the window is first seen viewable
 *   so_far_ms L                on SIGUSR1: the longest wait until now
 *   mapped none                at the end, if it never was
 *   gone T                     at the end, if the window was destroyed
 *   pings N answered A longest_ms L
 *
 * L is the longest time a ping waited for its answer, a ping still unanswered
 * counting until then; -1 when the window does not take part in the protocol
 * (no _NET_WM_PING in its WM_PROTOCOLS). The answer
 * comes back to the root window, sent to whoever listens for its structure
 * or substructure: without a window manager, this program does. */
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <poll.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#define PERIOD 0.020
#define MAX_PINGS 200000

static Display *display;
static volatile sig_atomic_t stopped, asked;
static double sent[MAX_PINGS]; /* monotonic time of each ping; 0 once answered */

static double now(int clock)
{
    struct timespec t;
    clock_gettime(clock, &t);
    return t.tv_sec + t.tv_nsec / 1e9;
}

static void stop(int signal)
{
    (void)signal;
    stopped = 1;
}

static void ask(int signal)
{
    (void)signal;
    asked = 1;
}

/* The longest wait so far, in ms: answered pings, and those still waiting at t. */
static double longestAt(double t, double answered, long pings)
{
    double longest = answered;
    for (long k = 0; k < pings; ++k)
        if (sent[k] > 0 && t - sent[k] > longest)
            longest = t - sent[k];
    return longest * 1000;
}

static int ignoreErrors(Display *d, XErrorEvent *e)
{
    (void)d, (void)e;
    return 0;
}

static int matches(Window w, const char *target)
{
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display, w, &attributes) || attributes.map_state != IsViewable)
        return 0;
    const int pid = strncmp(target, "pid:", 4) == 0;
    Atom property = XInternAtom(display, pid ? "_NET_WM_PID" : "_NET_WM_NAME", False), type;
    int format, found = 0;
    unsigned long count, after;
    unsigned char *data = NULL;
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
        for (unsigned int i = n; i-- > 0 && !found;)
            if (matches(children[i], target))
                found = children[i];
        XFree(children);
    }
    return found;
}

static int takesPings(Window w, Atom ping)
{
    Atom *protocols = NULL;
    int count = 0, found = 0;
    if (XGetWMProtocols(display, w, &protocols, &count)) {
        for (int i = 0; i < count; ++i)
            found |= protocols[i] == ping;
        XFree(protocols);
    }
    return found;
}

int main(int argc, char **argv)
{
    if (argc != 3 || !(display = XOpenDisplay(NULL))) {
        fprintf(stderr, "usage: pingwatch name:TITLE|pid:PID SECONDS (with DISPLAY set)\n");
        return 2;
    }
    XSetErrorHandler(ignoreErrors); /* the window may go at any moment */
    signal(SIGTERM, stop);
    signal(SIGINT, stop);
    signal(SIGUSR1, ask);
    const char *target = argv[1];
    const Window root = DefaultRootWindow(display);
    const Atom protocols = XInternAtom(display, "WM_PROTOCOLS", False);
    const Atom ping = XInternAtom(display, "_NET_WM_PING", False);
    /* Destroyed windows, and the answers: Qt sends them to the root's structure
     * listeners, GTK to its substructure's. */
    XSelectInput(display, root, StructureNotifyMask | SubstructureNotifyMask);
    XSync(display, False);

    const double end = now(CLOCK_MONOTONIC) + atof(argv[2]);
    double mapped = 0, gone = 0, next = 0, longest = 0;
    Window window = 0;
    long pings = 0, answered = 0;
    int pingable = 0;
    while (!stopped && !gone && now(CLOCK_MONOTONIC) < end && pings < MAX_PINGS) {
        if (!window && (window = find(target))) {
            mapped = now(CLOCK_REALTIME);
            pingable = takesPings(window, ping);
            printf("mapped %.6f\n", mapped);
            fflush(stdout);
        }
        if (asked) {
            asked = 0;
            printf("so_far_ms %.0f\n", pingable ? longestAt(now(CLOCK_MONOTONIC), longest, pings) : -1.0);
            fflush(stdout);
        }
        const double t = now(CLOCK_MONOTONIC);
        if (window && pingable && t >= next) {
            XEvent event = {0};
            event.xclient.type = ClientMessage;
            event.xclient.window = window;
            event.xclient.message_type = protocols;
            event.xclient.format = 32;
            event.xclient.data.l[0] = (long)ping;
            event.xclient.data.l[1] = pings; /* the time stamp's place: comes back as it went */
            event.xclient.data.l[2] = (long)window;
            XSendEvent(display, window, False, NoEventMask, &event);
            XFlush(display);
            sent[pings++] = t;
            next = t + PERIOD;
        }
        while (XPending(display)) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type == DestroyNotify && window && event.xdestroywindow.window == window) {
                gone = now(CLOCK_REALTIME);
            } else if (event.type == ClientMessage && event.xclient.message_type == protocols
                       && (Atom)event.xclient.data.l[0] == ping && event.xclient.data.l[2] == (long)window) {
                const long k = event.xclient.data.l[1];
                if (k >= 0 && k < pings && sent[k] > 0) {
                    const double waited = now(CLOCK_MONOTONIC) - sent[k];
                    longest = waited > longest ? waited : longest;
                    sent[k] = 0;
                    ++answered;
                }
            }
        }
        /* Sleeps until the next ping is due or an event comes; the window is looked for every 5 ms. */
        const double wait = window ? next - now(CLOCK_MONOTONIC) : 0.005;
        struct pollfd fd = {ConnectionNumber(display), POLLIN, 0};
        poll(&fd, 1, wait > 0 ? (int)(wait * 1000) + 1 : 0);
    }
    if (!mapped)
        printf("mapped none\n");
    if (gone)
        printf("gone %.6f\n", gone);
    printf("pings %ld answered %ld longest_ms %.0f\n", pings, answered,
           pingable ? longestAt(now(CLOCK_MONOTONIC), longest, pings) : -1.0);
    return 0;
}
