// Stand-ins for the series page around the window-free jobs: a report that
// records what a job tells its page (from any thread) and answers its
// questions as a test sets, and a target that collects loaded frames.
#pragma once
#include <shlwapi.h>

#include <atomic>
#include <functional>
#include <map>
#include <mutex>
#include <vector>

#include "converter/jobs/JobReport.h"
#include "converter/jobs/SeriesLoading.h"

class CRecordingReport : public CJobReport {
 public:
  void Status(LPCTSTR text, COLORREF color) override {
    std::function<void(const CString&)> hook;
    {
      std::lock_guard<std::mutex> l(m_lock);
      statuses.push_back(text);
      lastColor = color;
      hook = onStatus;
    }
    if (hook) hook(text);
  }
  void Busy(bool busy) override {
    std::lock_guard<std::mutex> l(m_lock);
    busyCalls.push_back(busy);
  }
  void ProgressRange(LONGLONG upper) override { range = upper; }
  void Progress(LONGLONG position) override {
    this->position = position;
    if (onProgress) onProgress(position);
  }
  void ItemState(int index, int state, LPCTSTR file) override {
    std::function<void(int, int)> hook;
    {
      std::lock_guard<std::mutex> l(m_lock);
      states[index] = state;
      if (file) files[index] = file;
      hook = onState;
    }
    if (hook) hook(index, state);
  }
  bool ChooseOutput(CString& path) override {
    ++outputChoices;
    return chooseOutput;
  }
  bool ConfirmOverwrite(LPCTSTR path, int& mode, bool) override {
    if (!::PathFileExistsW(path)) return true;
    ++overwriteAsked;
    return overwrite;
  }
  void Message(LPCTSTR text) override {
    std::lock_guard<std::mutex> l(m_lock);
    messages.push_back(text);
  }

  CString LastStatus() {
    std::lock_guard<std::mutex> l(m_lock);
    return statuses.empty() ? CString() : statuses.back();
  }
  int StateOf(int index) {
    std::lock_guard<std::mutex> l(m_lock);
    auto found = states.find(index);
    return found == states.end() ? -1 : found->second;
  }
  // The items' latest states in index order.
  std::vector<int> StateList() {
    std::lock_guard<std::mutex> l(m_lock);
    std::vector<int> list;
    for (const auto& s : states) list.push_back(s.second);
    return list;
  }

  // What the job reported; read once it has ended (or under the hooks).
  std::vector<CString> statuses, messages;
  COLORREF lastColor = 12345;
  std::vector<bool> busyCalls;
  std::atomic<LONGLONG> range{-1}, position{-1};
  std::map<int, int> states;
  std::map<int, CString> files;
  int outputChoices = 0, overwriteAsked = 0;
  // The answers: the output chooser confirms, existing files are overwritten.
  bool chooseOutput = true, overwrite = true;
  // Called on the job's thread as the report comes.
  std::function<void(const CString&)> onStatus;
  std::function<void(int, int)> onState;
  // Called on the thread that relays the encoder's progress records (set
  // before the job runs).
  std::function<void(LONGLONG)> onProgress;

 private:
  std::mutex m_lock;
};

// Collects loaded frames in their order.
class CFrameCollector : public CFrameTarget {
 public:
  void PutFrame(std::shared_ptr<CFrameItem> item, int position) override {
    if (position < 0 || position > (int)items.size())
      items.push_back(std::move(item));
    else
      items.insert(items.begin() + position, std::move(item));
  }
  void ShowLoadStatus(LPCTSTR text) override { statuses.push_back(text); }
  void FramesAdded() override { ++addedCalls; }
  bool StopRequested() override { return stopAfter >= 0 && (int)items.size() >= stopAfter; }

  CFrameList items;
  std::vector<CString> statuses;
  int addedCalls = 0;
  int stopAfter = -1;
};
