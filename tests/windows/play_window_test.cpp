// The Win32 play window against the real Win32, Direct2D and DirectWrite (or Wine's): its client
// area is the layout, also after a board file's next board of another shape; the default cell
// keeps the whole window on the work area; characters (either case, '0' for colour 9) and clicks
// become the session's moves; Escape ends the loop with 0. Each check is reported and counted.
#include "play/win32_play_window.h"

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "play/play_layout.h"
#include "play/play_session.h"
#include "tests/windows/expect.h"

namespace {

constexpr uint32_t kCell = 16;

bool clientIs(const PlayWindow& view, const PlayLayout& layout) {
  RECT client{};
  GetClientRect(view.window, &client);
  return client.right - client.left == layout.width && client.bottom - client.top == layout.height;
}

void type(const PlayWindow& view, char character) {
  SendMessageA(view.window, WM_CHAR, static_cast<WPARAM>(character), 0);
}

void clickTile(const PlayWindow& view, int x, int y) {
  const int cell = static_cast<int>(kCell);
  SendMessageA(view.window, WM_LBUTTONDOWN, MK_LBUTTON,
               MAKELPARAM(x * cell + cell / 2, y * cell + cell / 2));
}

std::vector<uint8_t> moves(const PlaySession& session) {
  return session.state().moves;
}

void defaultCellFitsTheWorkArea() {
  RECT work{};
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
  RECT outer{0, 0, 0, 0};
  const PlayLayout layout = layOut(64, 32, fittingCellOnScreen(64, 32));
  outer.right = layout.width;
  outer.bottom = layout.height;
  AdjustWindowRectEx(&outer, WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, FALSE, 0);
  EXPECT(layout.cell == static_cast<int>(kMinCell) ||
         (outer.right - outer.left <= work.right - work.left &&
          outer.bottom - outer.top <= work.bottom - work.top));
}

}  // namespace

int main() {
  // A board file: a 3 x 3 board whose colour 9 touches the top-left tile, then a larger one.
  BoardSource source;
  source.fileName = "boards.txt";
  source.fileBoards.push_back(BoardColors{3, 10, {0, 9, 1, 5, 2, 3, 4, 6, 7}});
  source.fileBoards.push_back(BoardColors{12, 4, std::vector<uint8_t>(144, 0)});
  for (size_t tile = 1; tile < 144; ++tile)
    source.fileBoards.back().colors[tile] = static_cast<uint8_t>(tile * 7 % 4);
  std::ostringstream lines;
  PlaySession session(PlayOptions{}, source, lines, [] {});
  PlayWindow view;
  view.session = &session;
  view.layout = layOut(3, 10, kCell);
  view.colorCount = 10;
  EXPECT(openPlayWindow(GetModuleHandleA(nullptr), view).empty());
  if (view.window == nullptr) {
    std::printf("%d passed, %d failed\n", passed, failed);
    return 1;
  }
  session.begin();
  EXPECT(clientIs(view, view.layout));
  UpdateWindow(view.window);  // a paint makes the render target
  EXPECT(view.target != nullptr);

  type(view, '1');  // colour 0 is the player's own: ignored
  EXPECT(moves(session).empty());
  type(view, '0');
  EXPECT(moves(session) == std::vector<uint8_t>{9});
  type(view, 'U');
  EXPECT(moves(session).empty());
  clickTile(view, 0, 1);  // a tile of colour 5
  EXPECT(moves(session) == std::vector<uint8_t>{5});
  type(view, '\b');
  EXPECT(moves(session).empty());
  type(view, '6');
  type(view, 'R');
  EXPECT(moves(session).empty());
  EXPECT(lines.str().find("Move 1: colour 5\nBack to move 0\nMove 1: colour 5\nRestart\n") !=
         std::string::npos);

  type(view, 'n');
  EXPECT(session.state().current.side == 12);
  const PlayLayout larger = layOut(12, 4, kCell);
  fitPlayWindow(view, larger, 4);
  EXPECT(clientIs(view, larger));
  UpdateWindow(view.window);
  EXPECT(view.target != nullptr);
  defaultCellFitsTheWorkArea();

  type(view, '\x1b');
  EXPECT(view.window == nullptr);
  MSG message{};
  EXPECT(PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != 0 && message.wParam == 0);
  closePlayWindow(view);

  std::printf("%d passed, %d failed\n", passed, failed);
  return failed == 0 ? 0 : 1;
}
