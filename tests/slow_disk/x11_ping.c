/* Asks an X11 window "are you alive" as a window manager does, with _NET_WM_PING, and waits for
 * its answer.
 *
 * Usage: x11_ping WINDOW TIMEOUT_MS   (WINDOW in decimal or 0x hexadecimal)
 * Prints the milliseconds the answer took and exits 0; exits 1 when none came in time, 2 on bad
 * use or no display. The window answers by sending the message back to the root window, which
 * this client watches; no window manager may hold the root's redirection for that (plain Xvfb).
 */
#include <poll.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <xcb/xcb.h>

static xcb_atom_t Atom(xcb_connection_t* connection, const char* name) {
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, (uint16_t)strlen(name), name), NULL);
    const xcb_atom_t atom = reply != NULL ? reply->atom : XCB_ATOM_NONE;
    free(reply);
    return atom;
}

static double NowMilliseconds(void) {
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (double)now.tv_sec * 1e3 + (double)now.tv_nsec / 1e6;
}

int main(int argc, char** argv) {
    if (argc != 3) {
        fprintf(stderr, "usage: %s WINDOW TIMEOUT_MS\n", argv[0]);
        return 2;
    }
    const xcb_window_t window = (xcb_window_t)strtoul(argv[1], NULL, 0);
    const double timeout = atof(argv[2]);
    xcb_connection_t* connection = xcb_connect(NULL, NULL);
    if (xcb_connection_has_error(connection)) {
        fprintf(stderr, "x11_ping: no display\n");
        return 2;
    }
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    /* Qt answers with the masks a window manager watches the root with. */
    const uint32_t mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
    xcb_change_window_attributes(connection, root, XCB_CW_EVENT_MASK, &mask);
    const xcb_atom_t protocols = Atom(connection, "WM_PROTOCOLS");
    const xcb_atom_t ping = Atom(connection, "_NET_WM_PING");
    const uint32_t stamp = (uint32_t)NowMilliseconds();

    xcb_client_message_event_t message;
    memset(&message, 0, sizeof message);
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = window;
    message.type = protocols;
    message.data.data32[0] = ping;
    message.data.data32[1] = stamp;
    message.data.data32[2] = window;
    const double sent = NowMilliseconds();
    xcb_send_event(connection, 0, window, XCB_EVENT_MASK_NO_EVENT, (const char*)&message);
    xcb_flush(connection);

    struct pollfd descriptor = {.fd = xcb_get_file_descriptor(connection), .events = POLLIN};
    for (;;) {
        xcb_generic_event_t* event;
        while ((event = xcb_poll_for_event(connection)) != NULL) {
            const int answer = (event->response_type & 0x7f) == XCB_CLIENT_MESSAGE &&
                               ((xcb_client_message_event_t*)event)->type == protocols &&
                               ((xcb_client_message_event_t*)event)->data.data32[0] == ping &&
                               ((xcb_client_message_event_t*)event)->data.data32[1] == stamp;
            free(event);
            if (answer) {
                printf("%.1f\n", NowMilliseconds() - sent);
                xcb_disconnect(connection);
                return 0;
            }
        }
        const double left = sent + timeout - NowMilliseconds();
        if (left <= 0 || xcb_connection_has_error(connection)) {
            xcb_disconnect(connection);
            return 1;
        }
        poll(&descriptor, 1, (int)left + 1);
    }
}
