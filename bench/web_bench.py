"""Inspecting the 32 MiB stand-in executable: the page's lkmCheck.inspect in
headless Chromium (the bytes already in memory, timed in the page from the call
to the answer) against the native lkm-inspect's whole run (process start,
reading the file, JSON out), side by side, RUNS times each, alternating. Prints
the medians and their ratio, and the page's weight; fails when the page takes
more than 1.5 times as long (the target is 1.2) or weighs more than 512 KiB.
With --weight-only it times nothing: the page must recognise the large stand-in and keep its weight.

usage: web_bench.py [--weight-only] WEB_DIR LKM_INSPECT LARGE_EXE [RUNS]"""
import pathlib
import statistics
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, str(pathlib.Path(__file__).parents[1] / "tests" / "web"))
import page_browser as browser  # noqa: E402

weight_only = sys.argv[1:2] == ["--weight-only"]
args = sys.argv[1 + weight_only:]
web, inspect, large = (pathlib.Path(p).resolve() for p in args[0:3])
runs = 1 if weight_only else int(args[3]) if len(args) > 3 else 7
weight = sum((web / name).stat().st_size for name in ("index.html", "page.css", "page.js", "lkm-check.js"))

native_times, page_times = [], []
with tempfile.TemporaryDirectory() as downloads, browser.served(str(web)) as url, \
        browser.chromium(downloads) as page:
    page.open(url + "index.html")
    page.element("exe").send_keys(str(large))
    page.call("return document.getElementById('exe').files[0].arrayBuffer()"
              ".then(buffer => { window.benchBytes = new Uint8Array(buffer); })")
    timed = ("const start = performance.now();"
             "return lkmCheck.inspect(window.benchBytes).then(r => [performance.now() - start, r.supported])")
    page.call(timed)  # the first call compiles the worker's hot paths
    for _ in range(runs):
        start = time.perf_counter()
        subprocess.run([str(inspect), str(large), "--json"], stdout=subprocess.DEVNULL, check=False)
        native_times.append(time.perf_counter() - start)
        milliseconds, supported = page.call(timed)
        assert supported, "the page did not recognise the large stand-in game"
        page_times.append(milliseconds / 1000)

if weight_only:
    print("page weight: %d bytes (%.0f KiB; goal: at most 512 KiB)" % (weight, weight / 1024))
    sys.exit(0 if weight <= 512 * 1024 else 1)
native_median = statistics.median(native_times)
page_median = statistics.median(page_times)
ratio = page_median / native_median
print("native lkm-inspect: median %.1f ms of %d runs" % (native_median * 1000, runs))
print("page lkmCheck.inspect: median %.1f ms of %d runs" % (page_median * 1000, runs))
print("ratio page / native: %.2f (goal: at most 1.5, target 1.2)" % ratio)
print("page weight: %d bytes (%.0f KiB; goal: at most 512 KiB)" % (weight, weight / 1024))
sys.exit(0 if ratio <= 1.5 and weight <= 512 * 1024 else 1)
