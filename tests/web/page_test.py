"""The compatibility page in headless Chromium against the native lkm-inspect,
on the stand-in game's executables and on files the inspector refuses.

usage: page_test.py WEB_DIR LKM_INSPECT GAME_DIR"""
import contextlib
import functools
import json
import pathlib
import subprocess
import sys
import tempfile
import time
import unittest

import page_browser as browser  # beside this file

WEB, INSPECT, GAME = (pathlib.Path(p).resolve() for p in sys.argv[1:4])
STOCK = GAME / "Larkmere.exe"
EARLIER = GAME / "old-patch" / "Larkmere.exe"
SIXTH = GAME / "sixth-setter" / "Larkmere.exe"
NOT_ENGINE = GAME / "LarkEngine.dll"
BAD_PAIR = "Set both ResX and ResY, or set both to 0 for automatic resolution."
BAD_INTEGER = "Invalid integer in the MAIN section of the INI."


@functools.lru_cache(maxsize=None)
def native(path, *words):
    """lkm-inspect's JSON for `path`, run beside it so that "file" is its name."""
    run = subprocess.run([str(INSPECT), path.name, *words, "--json"], cwd=path.parent, capture_output=True)
    return json.loads(run.stdout)


class PageTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.stack = contextlib.ExitStack()
        cls.addClassCleanup(cls.stack.close)  # also when a step below fails
        cls.scratch = pathlib.Path(cls.stack.enter_context(tempfile.TemporaryDirectory()))
        cls.downloads = cls.scratch / "downloads"
        cls.downloads.mkdir()
        cls.url = cls.stack.enter_context(browser.served(str(WEB)))
        cls.page = cls.stack.enter_context(browser.chromium(str(cls.downloads)))
        cls.page.open(cls.url + "index.html")
        cls.refused = cls.make_refused_files()

    @classmethod
    def make_refused_files(cls):
        files = {"empty.exe": b"", "notes.exe": b"plain text, not a program\n",
                 "truncated.exe": STOCK.read_bytes()[:1000]}
        for name, data in files.items():
            (cls.scratch / name).write_bytes(data)
        huge = cls.scratch / "huge.exe"
        with open(huge, "wb") as out:  # 1 GiB, sparse
            out.truncate(1 << 30)
        return [cls.scratch / name for name in files] + [huge]

    def downloaded(self, name):
        path = self.downloads / name
        for _ in range(200):
            if path.exists() and not (self.downloads / (name + ".crdownload")).exists():
                return path.read_bytes()
            time.sleep(0.05)
        self.fail("no download " + name)

    def test_page_and_inspector_agree_on_every_executable(self):
        # The options as the page takes them, and as lkm-inspect's words.
        plans = [({}, ()),
                 ({"resolution": "2560x1080", "keepUi": False}, ("--resolution", "2560x1080", "--keep-ui", "0")),
                 ({"resolution": "100x100"}, ("--resolution", "100x100")),
                 ({"keepUi": True}, ("--keep-ui", "1"))]
        cases = [(STOCK, "works", "Works: the plug-in recognises", plans),
                 (EARLIER, "patched", "Works, but this executable carries an earlier patch.", plans),
                 (SIXTH, "fails", native(SIXTH).get("failure", "(supported)"), plans),
                 (NOT_ENGINE, "fails", native(NOT_ENGINE).get("failure", "(supported)"), plans[:1])]
        cases += [(path, "fails", native(path)["error"], plans[:1]) for path in self.refused]
        for path, kind, words, options in cases:
            with self.subTest(path.name):
                shown, text = self.page.choose(str(path))
                self.assertEqual(shown, kind)
                self.assertIn(words, text)
                for page_options, command_words in options:
                    self.assertEqual(self.page.inspect_chosen(page_options), native(path, *command_words))

    def test_page_names_the_loader_dlls_the_executable_imports(self):
        # The stand-in game with its msvcrt.dll import renamed to a loader name, in capitals.
        stock = STOCK.read_bytes()
        self.assertEqual(stock.lower().count(b"msvcrt.dll\0"), 1)
        start = stock.lower().index(b"msvcrt.dll\0")
        renamed = self.scratch / "renamed" / "Larkmere.exe"
        renamed.parent.mkdir(exist_ok=True)
        renamed.write_bytes(stock[:start] + b"DSOUND.dll" + stock[start + 10:])
        none = "this executable loads none of the DLLs that ASI loaders are named after."
        for path, names, words in [(STOCK, [], none), (SIXTH, [], none),
                                   (renamed, ["dsound"], "this executable loads dsound.dll, so name your loader "
                                                         "dsound.dll and the game loads it when it starts.")]:
            with self.subTest(path.parent.name + "/" + path.name):
                self.assertEqual(native(path)["loaderNames"], names)
                self.page.choose(str(path))
                self.assertIn(words, self.page.element("loader-names").text)
                self.assertEqual(self.page.inspect_chosen({}), native(path))
        self.page.choose(str(self.refused[0]))
        self.assertFalse(self.page.element("loader-names").is_displayed())

    def test_bytes_in_memory_are_read_like_the_file(self):
        # Longer bytes, then shorter ones: the buffer lent to the worker is used
        # again, and the caller's bytes stay whole.
        truncated = self.refused[2]
        for path, options, words in [(EARLIER, {"resolution": "1920x1080"}, ("--resolution", "1920x1080")),
                                     (truncated, {}, ())]:
            with self.subTest(path.name):
                bytes_ = list(path.read_bytes())
                answer, length = self.page.call(
                    "const bytes = new Uint8Array(arguments[0]);"
                    "return lkmCheck.inspect(bytes, arguments[1]).then(r => [r, bytes.length])",
                    bytes_, dict(options, name=path.name))
                self.assertEqual(answer, native(path, *words))
                self.assertEqual(length, len(bytes_))

    def test_stock_copy_is_what_the_inspector_writes(self):
        out = self.scratch / "stock-by-lkm-inspect.exe"
        subprocess.run([str(INSPECT), str(EARLIER), "--restore-stock", str(out)], check=True, capture_output=True)
        self.assertEqual(out.read_bytes(), STOCK.read_bytes())
        self.page.choose(str(EARLIER))
        self.assertTrue(self.page.element("stock-offer").is_displayed())
        self.page.element("download-stock").click()
        self.assertEqual(self.downloaded("Larkmere-stock.exe"), out.read_bytes())

        restore = "return lkmCheck.restoreStock(document.getElementById('exe').files[0])" \
                  ".then(r => r === null ? 'null' : 'bytes', e => 'Error: ' + e.message)"
        for path, expected in [(STOCK, "null"), (SIXTH, "Error: " + native(SIXTH)["failure"]),
                               (self.refused[0], "Error: " + native(self.refused[0])["error"])]:
            with self.subTest(path.name):
                self.page.choose(str(path))
                self.assertFalse(self.page.element("stock-offer").is_displayed())
                self.assertEqual(self.page.call(restore), expected)

    def test_ini_is_the_default_one_with_the_values_or_the_plugins_refusal(self):
        default = (WEB / "default-ini" / "Larkmere.WidescreenFix.ini").read_text()
        filled = default.replace("ResX=0\n", "ResX=2560\n").replace("ResY=0\n", "ResY=1080\n") \
                        .replace("Windowed=0\n", "Windowed=1\n").replace("BaseFOV=0\n", "BaseFOV=75\n")
        cases = [({}, {"text": default}),
                 ({"ResX": 2560, "ResY": 1080, "Windowed": True, "BaseFOV": "+75"}, {"text": filled}),
                 ({"ResX": 1920}, {"error": BAD_PAIR}),
                 ({"ResX": 320, "ResY": 199}, {"error": BAD_PAIR}),
                 ({"Windowed": 2}, {"error": "Windowed must be 0 or 1."}),
                 ({"BaseFOV": 10000, "KeepUIAspectRatio": -1}, {"error": "KeepUIAspectRatio must be 0 or 1."}),
                 ({"BaseFOV": "75px"}, {"error": BAD_INTEGER}),
                 ({"ResX": 19.2, "ResY": 1080}, {"error": BAD_INTEGER}),
                 ({"ResX": "0" * 127 + "1"}, {"error": "INI option is too long."})]
        for values, expected in cases:
            with self.subTest(values):
                answer = self.page.call("return lkmCheck.iniFor(arguments[0])", values)
                if "text" in answer:
                    answer["text"] = answer["text"].replace("\r\n", "\n")
                self.assertEqual(answer, expected)

        self.page.call("const set = (id, v) => { document.getElementById(id).value = v; };"
                       "set('res-x', 2560); set('res-y', 1080); set('base-fov', 75);"
                       "document.getElementById('windowed').checked = true;"
                       "document.getElementById('settings').dispatchEvent(new Event('input'));")
        time.sleep(0.5)
        self.page.element("download-ini").click()
        self.assertEqual(self.downloaded("Larkmere.WidescreenFix.ini").decode().replace("\r\n", "\n"), filled)
        self.page.call("document.getElementById('res-y').value = 0;"
                       "document.getElementById('settings').dispatchEvent(new Event('input'))")
        time.sleep(0.5)
        self.assertEqual(self.page.element("ini-error").text, "The plug-in would refuse this INI: " + BAD_PAIR)

    def test_changes_shown_are_the_plan_of_the_inspector(self):
        self.page.call("document.getElementById('res-x').value = 2560; document.getElementById('res-y').value = 1080;"
                       "document.getElementById('settings').dispatchEvent(new Event('input'))")
        self.page.choose(str(EARLIER))
        expected = native(EARLIER, "--resolution", "2560x1080", "--keep-ui", "1")
        browser.WebDriverWait(self.page.driver, 60).until(lambda d: self.page.element("changes").is_displayed())
        rows = self.page.driver.find_elements(browser.By.CSS_SELECTOR, "#changes tbody tr")
        self.assertEqual(len(rows), len(expected["patches"]) + len(expected["redirections"]))
        first = rows[0].find_elements(browser.By.TAG_NAME, "td")
        self.assertEqual([first[3].text, first[4].text, first[5].text],
                         [expected["patches"][0][k] for k in ("before", "after", "what")])

    def test_dropped_folder_is_refused_in_the_inspectors_words(self):
        self.page.call("DataTransferItem.prototype.webkitGetAsEntry = () => ({isDirectory: true, name: 'Larkmere'});"
                       "const transfer = new DataTransfer();"
                       "transfer.items.add(new File([], 'Larkmere'));"
                       "document.getElementById('verdict').className = '';"
                       "document.getElementById('drop').dispatchEvent("
                       "  new DragEvent('drop', {dataTransfer: transfer, bubbles: true, cancelable: true}));")
        shown, text = self.page.verdict()
        self.assertEqual(shown, "fails")
        self.assertIn("The check says: a folder, not a file.", text)
        self.page.open(self.url + "index.html")  # the stand-in reader gone again

    def test_page_works_from_the_disk(self):
        self.page.open((WEB / "index.html").as_uri())
        try:
            self.assertEqual(self.page.choose(str(EARLIER))[0], "patched")
        finally:
            self.page.open(self.url + "index.html")

    def test_page_weighs_at_most_512_KiB(self):
        files = ["index.html", "page.css", "page.js", "lkm-check.js"]
        self.assertLessEqual(sum((WEB / name).stat().st_size for name in files), 512 * 1024)


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1] + sys.argv[4:], verbosity=2)
