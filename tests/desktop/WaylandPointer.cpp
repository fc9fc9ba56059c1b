// A virtual mouse for the Wayland desktop tests: a headless seat has no pointer, and no packaged
// tool makes one. It speaks the Wayland wire protocol itself, so the tests need no Wayland
// development files. On a wlroots compositor (sway) it is a virtual pointer; on KWin it is KWin's
// fake input, which types keys as well.
//
//   wayland-pointer WIDTH HEIGHT
//
// WIDTH and HEIGHT are the output's size. The pointer lives as long as the program; commands come
// one a line on standard input, and each is answered "ok" once the compositor has taken it:
//   move X Y     the pointer to X,Y of the output
//   click        the left button pressed and released where the pointer is
//   press        the left button pressed; release: released
//   key CODE...  KWin only: the keys (evdev codes) pressed in order, then released in reverse

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr std::uint32_t Display = 1, Registry = 2;
constexpr std::uint32_t LeftButton = 0x110; // BTN_LEFT of linux/input-event-codes.h
// The compositor takes new object ids only in sequence, without gaps.
std::uint32_t nextId = 3;
int fd = -1;

[[noreturn]] void die(const std::string& why) {
    std::cerr << "wayland-pointer: " << why << '\n';
    std::exit(1);
}

class Message {
public:
    Message(std::uint32_t object, std::uint16_t opcode) : m_words{object, opcode} {}
    Message& uint(std::uint32_t value) {
        m_words.push_back(value);
        return *this;
    }
    Message& string(const std::string& text) {
        const std::size_t length = text.size() + 1, words = (length + 3) / 4;
        m_words.push_back(static_cast<std::uint32_t>(length));
        const std::size_t at = m_words.size();
        m_words.resize(at + words, 0);
        std::memcpy(&m_words[at], text.c_str(), length);
        return *this;
    }
    void send() {
        m_words[1] |= static_cast<std::uint32_t>(m_words.size() * 4) << 16;
        const auto* bytes = reinterpret_cast<const char*>(m_words.data());
        std::size_t left = m_words.size() * 4;
        while (left > 0) {
            const ssize_t sent = ::send(fd, bytes, left, MSG_NOSIGNAL);
            if (sent <= 0) die("the compositor closed the connection");
            bytes += sent;
            left -= static_cast<std::size_t>(sent);
        }
    }

private:
    std::vector<std::uint32_t> m_words;
};

struct Event {
    std::uint32_t object;
    std::uint16_t opcode;
    std::vector<std::uint32_t> args;
};

void readFully(void* into, std::size_t size) {
    auto* bytes = static_cast<char*>(into);
    while (size > 0) {
        const ssize_t got = ::recv(fd, bytes, size, 0);
        if (got <= 0) die("the compositor closed the connection");
        bytes += got;
        size -= static_cast<std::size_t>(got);
    }
}

Event readEvent() {
    std::uint32_t header[2];
    readFully(header, sizeof header);
    Event event{header[0], static_cast<std::uint16_t>(header[1] & 0xFFFF), {}};
    event.args.resize(((header[1] >> 16) - 8) / 4);
    readFully(event.args.data(), event.args.size() * 4);
    if (event.object == Display && event.opcode == 0) {
        const char* text = reinterpret_cast<const char*>(&event.args[3]);
        die("protocol error: " + std::string(text, strnlen(text, event.args[2])));
    }
    return event;
}

// Waits until the compositor has handled every request sent so far; globals announced meanwhile
// are passed to onGlobal.
template <class F> void roundTrip(F onGlobal) {
    const std::uint32_t callback = nextId++;
    Message(Display, 0).uint(callback).send(); // wl_display.sync
    for (;;) {
        const Event event = readEvent();
        if (event.object == callback) return;
        if (event.object == Registry && event.opcode == 0) {
            const char* name = reinterpret_cast<const char*>(&event.args[2]);
            const std::size_t words = (event.args[1] + 3) / 4;
            onGlobal(event.args[0], std::string(name, strnlen(name, event.args[1])), event.args[2 + words]);
        }
    }
}
void roundTrip() {
    roundTrip([](std::uint32_t, const std::string&, std::uint32_t) {});
}

std::uint32_t now() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<std::uint32_t>(t.tv_sec * 1000 + t.tv_nsec / 1000000);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) die("usage: wayland-pointer WIDTH HEIGHT");
    const auto width = static_cast<std::uint32_t>(std::atoi(argv[1]));
    const auto height = static_cast<std::uint32_t>(std::atoi(argv[2]));
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    const char* display = std::getenv("WAYLAND_DISPLAY");
    if (!runtime || !display) die("XDG_RUNTIME_DIR and WAYLAND_DISPLAY must be set");
    const std::string path = display[0] == '/' ? display : std::string(runtime) + "/" + display;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) die("socket path too long");
    path.copy(address.sun_path, path.size());
    fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0 || ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
        die("cannot connect to " + path);

    Message(Display, 1).uint(Registry).send(); // wl_display.get_registry
    std::uint32_t managerName = 0, fakeInputName = 0;
    roundTrip([&](std::uint32_t name, const std::string& interface, std::uint32_t) {
        if (interface == "zwlr_virtual_pointer_manager_v1") managerName = name;
        if (interface == "org_kde_kwin_fake_input") fakeInputName = name;
    });
    if (!managerName && !fakeInputName) die("the compositor offers no virtual pointers");
    const bool fake = !managerName;
    std::uint32_t pointer = 0;
    if (fake) {
        // Version 4 moves to absolute places and types keys; KWin asks who is calling first.
        pointer = nextId++;
        Message(Registry, 0)
            .uint(fakeInputName)
            .string("org_kde_kwin_fake_input")
            .uint(4)
            .uint(pointer)
            .send();
        Message(pointer, 0).string("wayland-pointer").string("desktop test").send(); // authenticate
    } else {
        const std::uint32_t manager = nextId++;
        pointer = nextId++;
        Message(Registry, 0)
            .uint(managerName)
            .string("zwlr_virtual_pointer_manager_v1")
            .uint(1)
            .uint(manager)
            .send();
        Message(manager, 0).uint(0).uint(pointer).send(); // create_virtual_pointer on the default seat
    }
    roundTrip();
    std::cout << "ok" << std::endl;

    for (std::string line; std::getline(std::cin, line);) {
        std::istringstream words(line);
        std::string command;
        words >> command;
        if (command == "move") {
            std::uint32_t x = 0, y = 0;
            words >> x >> y;
            if (fake) {
                Message(pointer, 9).uint(x * 256).uint(y * 256).send(); // pointer_motion_absolute, fixed
            } else {
                Message(pointer, 1).uint(now()).uint(x).uint(y).uint(width).uint(height).send();
                Message(pointer, 4).send(); // frame
            }
        } else if (command == "click" || command == "press" || command == "release") {
            for (std::uint32_t state : {1u, 0u}) {
                if ((command == "press" && state == 0) || (command == "release" && state == 1)) continue;
                if (fake) {
                    Message(pointer, 2).uint(LeftButton).uint(state).send();
                } else {
                    Message(pointer, 2).uint(now()).uint(LeftButton).uint(state).send();
                    Message(pointer, 4).send();
                }
                roundTrip();
            }
        } else if (command == "key" && fake) {
            std::vector<std::uint32_t> keys;
            for (std::uint32_t code = 0; words >> code;)
                keys.push_back(code);
            for (std::uint32_t code : keys)
                Message(pointer, 10).uint(code).uint(1).send(); // keyboard_key
            for (auto it = keys.rbegin(); it != keys.rend(); ++it)
                Message(pointer, 10).uint(*it).uint(0).send();
        } else if (!command.empty()) {
            die("unknown command '" + command + "'");
        }
        roundTrip();
        std::cout << "ok" << std::endl;
    }
    return 0;
}
