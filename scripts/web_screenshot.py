"""Saves a picture of the compatibility page after choosing the stand-in game's
earlier-patched executable, with a 2560x1080 screen set.

usage: web_screenshot.py WEB_DIR EXECUTABLE OUT.png"""
import base64
import pathlib
import sys
import tempfile

sys.path.insert(0, str(pathlib.Path(__file__).parents[1] / "tests" / "web"))
import page_browser as browser  # noqa: E402

web, executable, out = sys.argv[1:4]
with tempfile.TemporaryDirectory() as downloads, browser.served(web) as url, browser.chromium(downloads) as page:
    page.open(url + "index.html")
    page.call("document.getElementById('res-x').value = 2560; document.getElementById('res-y').value = 1080;")
    page.choose(str(pathlib.Path(executable).resolve()))
    browser.WebDriverWait(page.driver, 60).until(lambda d: page.element("changes").is_displayed())
    height = page.call("return document.documentElement.scrollHeight")
    shot = page.driver.execute_cdp_cmd("Page.captureScreenshot", {
        "captureBeyondViewport": True, "clip": {"x": 0, "y": 0, "width": 1100, "height": height, "scale": 1}})
    pathlib.Path(out).write_bytes(base64.b64decode(shot["data"]))
print("wrote " + out)
