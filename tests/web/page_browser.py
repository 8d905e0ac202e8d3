"""Headless Chromium driving the compatibility page: the browser, a server on
127.0.0.1 for the built page, and the page's own controls."""
import contextlib
import functools
import http.server
import tempfile
import threading

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By
from selenium.webdriver.support.ui import WebDriverWait

CHROMIUM_FLAGS = ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                  "--disable-background-networking", "--disable-component-update", "--disable-sync",
                  "--window-size=1100,1400"]


@contextlib.contextmanager
def served(folder):
    """The folder on http://127.0.0.1:PORT/, for as long as the block runs."""
    handler = functools.partial(QuietHandler, directory=folder)
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
    thread = threading.Thread(target=server.serve_forever, daemon=True)
    thread.start()
    try:
        yield "http://127.0.0.1:%d/" % server.server_address[1]
    finally:
        server.shutdown()
        server.server_close()


class QuietHandler(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *args):
        pass


@contextlib.contextmanager
def chromium(downloads):
    """Headless Chromium with a fresh profile, saving downloads to `downloads`."""
    with tempfile.TemporaryDirectory() as profile:
        options = webdriver.ChromeOptions()
        for flag in CHROMIUM_FLAGS + ["--user-data-dir=" + profile]:
            options.add_argument(flag)
        options.binary_location = "/usr/bin/chromium"
        options.add_experimental_option("prefs", {"download.default_directory": downloads,
                                                  "download.prompt_for_download": False})
        driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
        driver.set_script_timeout(120)
        try:
            driver.execute_cdp_cmd("Page.setDownloadBehavior", {"behavior": "allow", "downloadPath": downloads})
            yield Page(driver)
        finally:
            driver.quit()


class Page:
    def __init__(self, driver):
        self.driver = driver

    def open(self, url):
        self.driver.get(url)
        self.call("return lkmCheck.ready")

    def call(self, script, *args):
        """The value of `script` (its Promise awaited), run in the page."""
        return self.driver.execute_script(script, *args)

    def element(self, id_):
        return self.driver.find_element(By.ID, id_)

    def choose(self, path):
        """Chooses `path` through the file input; the verdict box once the check is done."""
        self.call("document.getElementById('verdict').className = ''")
        self.element("exe").send_keys(path)
        return self.verdict()

    def verdict(self):
        WebDriverWait(self.driver, 120).until(
            lambda d: d.find_element(By.ID, "verdict").get_attribute("class") not in ("", "verdict busy"))
        box = self.element("verdict")
        return box.get_attribute("class").replace("verdict ", ""), box.text

    def inspect_chosen(self, options):
        """lkmCheck.inspect on the chosen File."""
        return self.call("return lkmCheck.inspect(document.getElementById('exe').files[0], arguments[0])",
                         options)
