// A plain DirectShow loop with none of the program's code, to tell the memory Wine's DirectShow
// keeps per rendered file from the memory the program keeps. It does per load what the Windows
// program's media graph does per track: one filter graph, created once and emptied between tracks
// (stop, disconnect and remove every filter), RenderFile of the next track, volume, balance, rate
// and position set, run for a moment with its events drained on a window of its own, stop. The
// tracks are taken in turn, as the program alternates them. After every 10 loads it prints the load
// count and the process's memory (GetProcessMemoryInfo). Under Wine 8 the working set is the Linux
// process's VmRSS and PrivateUsage stays 0.
//
// Built by hand (not part of the windows preset):
//   x86_64-w64-mingw32-g++-posix -O2 -std=c++20 -static -municode -o wine_directshow_probe.exe bench/wine_directshow_probe.cpp -lole32 -loleaut32 -lstrmiids -luuid -lpsapi
// Run under Wine, with the tracks as the program writes them next to itself:
//   wine wine_directshow_probe.exe [--loads N] [--run-ms MS] [--wait] kokab.res fun.res
// --wait: after every report, read a line from standard input before going on, so that a script
// outside can sample the Linux process (VmRSS in /proc/PID/status) while the loop stands still.

#include <windows.h>
#include <dshow.h>
#include <psapi.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

constexpr UINT kGraphNotify = WM_APP + 1;

template <typename Interface>
void ReleaseAndClear(Interface*& pointer) {
  if (pointer) pointer->Release();
  pointer = nullptr;
}

bool Failed(HRESULT result, const char* what) {
  if (SUCCEEDED(result)) return false;
  std::fprintf(stderr, "%s failed: 0x%08lx\n", what, static_cast<unsigned long>(result));
  return true;
}

struct Graph {
  IFilterGraph2* graph = nullptr;
  IMediaControl* control = nullptr;
  IMediaSeeking* seeking = nullptr;
  IMediaEventEx* events = nullptr;
  IBasicAudio* audio = nullptr;

  bool Create(HWND window) {
    if (Failed(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IFilterGraph2, reinterpret_cast<void**>(&graph)),
               "CoCreateInstance(CLSID_FilterGraph)")) {
      return false;
    }
    graph->QueryInterface(IID_IMediaControl, reinterpret_cast<void**>(&control));
    graph->QueryInterface(IID_IMediaSeeking, reinterpret_cast<void**>(&seeking));
    graph->QueryInterface(IID_IMediaEventEx, reinterpret_cast<void**>(&events));
    graph->QueryInterface(IID_IBasicAudio, reinterpret_cast<void**>(&audio));
    if (!control || !seeking || !events || !audio) {
      std::fprintf(stderr, "the filter graph lacks an interface\n");
      return false;
    }
    events->SetNotifyFlags(0);
    events->SetNotifyWindow(reinterpret_cast<OAHWND>(window), kGraphNotify, 0);
    return true;
  }

  void Release() {
    if (events) {
      events->SetNotifyFlags(AM_MEDIAEVENT_NONOTIFY);
      events->SetNotifyWindow(0, 0, 0);
    }
    ReleaseAndClear(audio);
    ReleaseAndClear(events);
    ReleaseAndClear(seeking);
    ReleaseAndClear(control);
    ReleaseAndClear(graph);
  }

  // Every filter is taken out of the enumeration first: removing while enumerating spoils it.
  void RemoveAll() {
    control->Stop();
    std::vector<IBaseFilter*> filters;
    IEnumFilters* all = nullptr;
    if (Failed(graph->EnumFilters(&all), "EnumFilters")) return;
    IBaseFilter* filter = nullptr;
    while (all->Next(1, &filter, nullptr) == S_OK) filters.push_back(filter);
    all->Release();
    for (IBaseFilter* each : filters) {
      IEnumPins* pins = nullptr;
      if (SUCCEEDED(each->EnumPins(&pins))) {
        IPin* pin = nullptr;
        while (pins->Next(1, &pin, nullptr) == S_OK) {
          pin->Disconnect();
          pin->Release();
        }
        pins->Release();
      }
      Failed(graph->RemoveFilter(each), "RemoveFilter");
      each->Release();
    }
  }

  bool Load(const std::wstring& file, bool tell) {
    const HRESULT rendered = graph->RenderFile(file.c_str(), nullptr);
    if (Failed(rendered, "RenderFile")) return false;
    // A partial render (no audio device, say) is a success code too: the first one is shown.
    if (tell) {
      std::printf("first render 0x%08lx, %d filters\n", static_cast<unsigned long>(rendered),
                  FilterCount());
    }
    audio->put_Volume(0);
    audio->put_Balance(0);
    seeking->SetRate(1.0);
    LONGLONG start = 0;
    LONGLONG stop = 0;
    seeking->SetPositions(&start, AM_SEEKING_AbsolutePositioning, &stop,
                          AM_SEEKING_NoPositioning);
    return true;
  }

  int FilterCount() {
    int count = 0;
    IEnumFilters* all = nullptr;
    if (FAILED(graph->EnumFilters(&all))) return -1;
    IBaseFilter* filter = nullptr;
    while (all->Next(1, &filter, nullptr) == S_OK) {
      ++count;
      filter->Release();
    }
    all->Release();
    return count;
  }

  void DrainEvents() {
    long code = 0;
    LONG_PTR first = 0;
    LONG_PTR second = 0;
    while (events->GetEvent(&code, &first, &second, 0) == S_OK) {
      events->FreeEventParams(code, first, second);
    }
  }
};

Graph* g_graph = nullptr;  // for the window procedure only

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == kGraphNotify && g_graph) {
    g_graph->DrainEvents();
    return 0;
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

// Runs the message loop for about `ms` milliseconds, so the graph's events reach the window.
void PumpFor(DWORD ms) {
  const ULONGLONG until = GetTickCount64() + ms;
  for (;;) {
    const ULONGLONG now = GetTickCount64();
    if (now >= until) break;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(until - now), QS_ALLINPUT);
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }
}

void Report(int loads, bool wait) {
  PROCESS_MEMORY_COUNTERS_EX counters{};
  counters.cb = sizeof counters;
  GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                       sizeof counters);
  std::printf("loads %d working_set_kb %llu private_kb %llu\n", loads,
              static_cast<unsigned long long>(counters.WorkingSetSize / 1024),
              static_cast<unsigned long long>(counters.PrivateUsage / 1024));
  std::fflush(stdout);
  if (wait) {
    char line[64];
    if (!std::fgets(line, sizeof line, stdin)) return;
  }
}

int Usage() {
  std::fprintf(stderr,
               "usage: wine_directshow_probe [--loads N] [--run-ms MS] [--wait] TRACK...\n");
  return 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  int loads = 300;
  DWORD run_ms = 200;
  bool wait = false;
  std::vector<std::wstring> tracks;
  for (int i = 1; i < argc; ++i) {
    const std::wstring arg = argv[i];
    if (arg == L"--loads" && i + 1 < argc) {
      loads = static_cast<int>(std::wcstol(argv[++i], nullptr, 10));
    } else if (arg == L"--run-ms" && i + 1 < argc) {
      run_ms = static_cast<DWORD>(std::wcstoul(argv[++i], nullptr, 10));
    } else if (arg == L"--wait") {
      wait = true;
    } else if (arg.rfind(L"--", 0) == 0) {
      return Usage();
    } else {
      tracks.push_back(arg);
    }
  }
  if (tracks.empty() || loads <= 0) return Usage();

  if (Failed(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), "CoInitializeEx")) return 1;
  WNDCLASSW window_class{};
  window_class.lpfnWndProc = WindowProc;
  window_class.hInstance = GetModuleHandleW(nullptr);
  window_class.lpszClassName = L"ProbeGraphWindow";
  RegisterClassW(&window_class);
  HWND window = CreateWindowExW(0, window_class.lpszClassName, L"", WS_POPUP, 0, 0, 0, 0, nullptr,
                                nullptr, window_class.hInstance, nullptr);
  if (!window) {
    std::fprintf(stderr, "CreateWindowEx failed: %lu\n", GetLastError());
    return 1;
  }

  int status = 0;
  int late_stops = 0;
  {
    Graph graph;
    g_graph = &graph;
    if (!graph.Create(window)) {
      status = 1;
    } else {
      Report(0, wait);
      for (int load = 1; load <= loads; ++load) {
        // The program empties the graph only when the stop took at once; so does this, and
        // counts the stops that did not, which would leave the next track rendered beside it.
        if (graph.control->Stop() == S_OK) {
          graph.RemoveAll();
        } else {
          ++late_stops;
        }
        if (!graph.Load(tracks[(load - 1) % tracks.size()], load == 1)) {
          status = 1;
          break;
        }
        Failed(graph.control->Run(), "Run");
        PumpFor(run_ms);
        graph.control->Stop();
        if (load % 10 == 0) Report(load, wait);
      }
      graph.RemoveAll();
      std::printf("late stops %d\n", late_stops);
    }
    graph.Release();
    g_graph = nullptr;
  }
  DestroyWindow(window);
  CoUninitialize();
  return status;
}
