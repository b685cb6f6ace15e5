// Progress messages to the caller's window.
#pragma once
#include "modules/smeltrix/RunSupport.h"
#include "interfaces/ToolContract.h"

namespace smeltrix {

class ProgressRelay {
 public:
  ProgressRelay(int64_t window, int64_t context) : m_wnd((HWND)(intptr_t)window), m_context(context) {}

  void Start(int64_t total) {
    m_total = total;
    Send(TOOL_EVENT_START, 0, 0);
  }
  // Returns true when the caller asked to stop.
  bool Progress(int64_t position, int frames, bool force) {
    DWORD now = GetTickCount();
    if (!force && m_sentProgress && now - m_lastTick < 40) return m_stop;
    m_sentProgress = true;
    m_lastTick = now;
    if (Send(TOOL_EVENT_PROGRESS, position, frames) == 1) m_stop = true;
    return m_stop;
  }
  void Finish(int64_t position, int frames) { Send(TOOL_EVENT_FINISH, position, frames); }
  bool StopAsked() const { return m_stop; }

 private:
  LRESULT Send(int event, int64_t position, int frames) {
    if (!m_wnd) return 0;
    ToolCallbackData data;
    memset(&data, 0, sizeof data);
    data.context = m_context;
    data.event = event;
    data.progress.total = m_total;
    data.progress.position = std::min(std::max<int64_t>(position, 0), std::max<int64_t>(m_total, 0));
    data.progress.frame = frames;
    COPYDATASTRUCT cds;
    cds.dwData = TOOL_CALLBACK_ID;
    cds.cbData = sizeof data;
    cds.lpData = &data;
    // A receiver that stops answering must not hold the run for ever: a
    // record not answered in time counts as "go on". Later records are still
    // offered (to a hung receiver the system refuses them at once), so a
    // receiver that answers again can still ask to stop.
    DWORD_PTR answer = 0;
    if (!SendMessageTimeoutW(m_wnd, WM_COPYDATA, 0, (LPARAM)&cds, SMTO_NORMAL | SMTO_ABORTIFHUNG, kAnswerMs, &answer))
      return 0;
    return (LRESULT)answer;
  }

  static const UINT kAnswerMs = 5000;

  HWND m_wnd;
  int64_t m_context;
  int64_t m_total = 0;
  DWORD m_lastTick = 0;
  bool m_sentProgress = false;
  bool m_stop = false;
};

}  // namespace smeltrix
