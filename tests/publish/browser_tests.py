#!/usr/bin/python3
"""The club pages as a reader sees them: made by `racr publish` from results the simulator served and
`racr import` stored (plus hostile driver names written with SQL), opened from file:// in headless
Chromium through chromedriver."""

import hashlib
import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest
import urllib.parse

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By

RACR = os.environ["RACR"]
SIM = os.environ["STATS_SIM"]
SHOTS = os.environ["SCREENSHOT_DIR"]
PG_CLUSTER = os.environ["PG_CLUSTER_FILE"]

HOSTILE = ["../x", "<b>", "a b", "東京", "CON", "."]
HOSTILE_STATUS = "<script>document.title='hacked'</script> & \"quotes\""


def racr(home, *args, check=True):
    result = subprocess.run([RACR, "--home", home, *args], capture_output=True, text=True, timeout=120)
    if check and result.returncode != 0:
        raise AssertionError(f"racr {' '.join(args)} ended with {result.returncode}: {result.stderr}")
    return result


def sql_text(text):
    return "'" + text.replace("'", "''") + "'"


def digests(folder):
    sums = {}
    for name in sorted(os.listdir(folder)):
        with open(os.path.join(folder, name), "rb") as page:
            sums[name] = hashlib.sha256(page.read()).hexdigest()
    return sums


class Site:
    """One program folder with imported and hostile results, published once for all tests."""

    def __init__(self):
        self.root = tempfile.mkdtemp(prefix="racr-publish-")
        self.home = os.path.join(self.root, "home")
        self.site = os.path.join(self.root, "club")
        sim = subprocess.Popen([SIM, "--port", "0", "--drivers", "40"], stdout=subprocess.PIPE, text=True)
        try:
            address = re.search(r"http://\S+", sim.stdout.readline()).group(0)
            drivers = "PILOT000,PILOT001,PILOT002,PILOT003,PILOT004,kestrel"
            for days in range(3):
                racr(self.home, "--service-base", address, "import", "leaderboards", "--type", "daily",
                     "--days", str(days), "--drivers", drivers)
            racr(self.home, "--service-base", address, "import", "drivers", "--drivers", drivers)
        finally:
            sim.terminate()
            sim.wait()
            sim.stdout.close()
        for i, name in enumerate(HOSTILE):
            racr(self.home, "query", "INSERT INTO RACR (driver, car, date, trackid, multiplayer, besttime, shard) VALUES "
                 f"({sql_text(name)}, {sql_text('Car <i>' + str(i))}, '2011-07-0{i + 1}  10:00:00', 299, 1, "
                 f"'{70 + i}.5', 'APEX')")
        # A result without a time on a track of its own: listed among the latest, but no page to link.
        racr(self.home, "query", "INSERT INTO RACR (driver, car, date, trackid, multiplayer, besttime, shard) VALUES "
             "('PILOT000', 'Falk Roadster S', '2011-07-09  10:00:00', 999999, 1, 'DNF', 'APEX')")
        racr(self.home, "query", "INSERT INTO DRIVERS (drivername, driverlevel, statusmessage, image, car_count) VALUES "
             f"('<b>', 7, {sql_text(HOSTILE_STATUS)}, 3, 2)")
        racr(self.home, "publish", self.site, "--title", "Club <&> \"Night\"")

    def url(self, name):
        return "file://" + urllib.parse.quote(os.path.join(self.site, name))

    def pages(self):
        return sorted(name for name in os.listdir(self.site) if name.endswith(".html"))


def start_browser():
    options = webdriver.ChromeOptions()
    options.binary_location = "/usr/bin/chromium"
    for argument in ("--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage",
                     "--window-size=1280,900"):
        options.add_argument(argument)
    options.set_capability("goog:loggingPrefs", {"browser": "ALL", "performance": "ALL"})
    return webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)


SITE = None
BROWSER = None


def setUpModule():
    global SITE, BROWSER
    SITE = Site()
    BROWSER = start_browser()


def tearDownModule():
    if BROWSER:
        BROWSER.quit()
    if SITE:
        shutil.rmtree(SITE.root, ignore_errors=True)


def emulate(width, dark):
    BROWSER.execute_cdp_cmd("Emulation.setDeviceMetricsOverride",
                            {"width": width, "height": 900, "deviceScaleFactor": 1, "mobile": width < 600})
    BROWSER.execute_cdp_cmd("Emulation.setEmulatedMedia",
                            {"features": [{"name": "prefers-color-scheme", "value": "dark" if dark else "light"}]})


class PagesInBrowser(unittest.TestCase):
    def setUp(self):
        emulate(1280, False)

    def test_every_page_loads_cleanly_and_every_link_resolves(self):
        site_root = os.path.realpath(SITE.site)
        for name in SITE.pages():
            BROWSER.get_log("browser")
            BROWSER.get_log("performance")
            BROWSER.get(SITE.url(name))
            errors = [entry["message"] for entry in BROWSER.get_log("browser") if entry["level"] == "SEVERE"]
            self.assertEqual(errors, [], name)
            failed = [entry["message"] for entry in BROWSER.get_log("performance")
                      if '"Network.loadingFailed"' in entry["message"]]
            self.assertEqual(failed, [], name)
            self.assertTrue(BROWSER.title, name)
            for href in BROWSER.execute_script("return [...document.querySelectorAll('a')].map(a => a.href)"):
                target = urllib.parse.unquote(urllib.parse.urlparse(href).path)
                self.assertTrue(href.startswith("file://"), f"{name} links outside the site: {href}")
                self.assertTrue(os.path.realpath(target).startswith(site_root + os.sep), f"{name}: {href}")
                self.assertTrue(os.path.isfile(target), f"{name} links to a missing page: {href}")

    def test_no_sideways_scrolling_on_a_phone(self):
        emulate(375, False)
        for name in SITE.pages():
            BROWSER.get(SITE.url(name))
            overflow = BROWSER.execute_script(
                "return document.documentElement.scrollWidth - document.documentElement.clientWidth")
            self.assertLessEqual(overflow, 0, name)

    def test_dark_setting_changes_the_colours(self):
        background = {}
        for dark in (False, True):
            emulate(1280, dark)
            BROWSER.get(SITE.url("index.html"))
            background[dark] = BROWSER.execute_script("return getComputedStyle(document.body).backgroundColor")
        self.assertNotEqual(background[False], background[True])

    def test_track_page_numbers_equal_racr_query(self):
        other = racr(SITE.home, "query", "SELECT MAX(trackid) FROM RACR WHERE multiplayer=2").stdout.split()[1]
        for track, multiplayer, section in ((299, 1, "MP"), (299, 2, "SP"), (int(other), 2, "SP")):
            rows = racr(SITE.home, "query",
                        "SELECT driver, MIN(CAST(besttime AS REAL)), COUNT(*) FROM RACR "
                        f"WHERE trackid={track} AND multiplayer={multiplayer} GROUP BY driver").stdout.splitlines()[1:]
            expected = {}
            for row in rows:
                driver, best, count = row.rsplit(";", 2)
                expected[driver] = (round(float(best), 3), int(count))
            self.assertTrue(expected, f"no results on track {track}")
            BROWSER.get(SITE.url(f"track-{track}.html"))
            shown = {}
            for row in BROWSER.find_elements(By.CSS_SELECTOR, f"section.board.{section} > div.wide > table > tbody > tr"):
                driver = row.find_element(By.CSS_SELECTOR, "th").text
                shown[driver] = (float(row.find_element(By.CSS_SELECTOR, "td.best").text),
                                 int(row.find_element(By.CSS_SELECTOR, "td.results").text))
            self.assertEqual(shown, expected, f"track {track}, {section}")
            bests = [best for best, _ in shown.values()]
            ranks = [float(cell.text) for cell in BROWSER.find_elements(
                By.CSS_SELECTOR, f"section.board.{section} td.best")]
            self.assertEqual(ranks, sorted(bests), "ranked by time as a number")

    def test_hostile_driver_names_stay_inside_and_display_as_stored(self):
        self.assertEqual(sorted(os.listdir(SITE.root)), ["club", "home"], "nothing written beside the site")
        BROWSER.get(SITE.url("index.html"))
        links = {a.text: a.get_attribute("href") for a in BROWSER.find_elements(By.CSS_SELECTOR, "section a")}
        for name in HOSTILE:
            self.assertIn(name, links, "every driver is linked under their own name")
            BROWSER.get(links[name])
            self.assertEqual(BROWSER.find_element(By.TAG_NAME, "h1").text, name)
            path = os.path.realpath(urllib.parse.unquote(urllib.parse.urlparse(links[name]).path))
            self.assertEqual(os.path.dirname(path), os.path.realpath(SITE.site))
        BROWSER.get(links["<b>"])
        self.assertIn(HOSTILE_STATUS, BROWSER.find_element(By.CSS_SELECTOR, "table.stats").text)
        self.assertNotIn("hacked", BROWSER.title)
        self.assertEqual(BROWSER.find_elements(By.CSS_SELECTOR, "main b, main script"), [])

    def test_screenshots_for_a_person(self):
        os.makedirs(SHOTS, exist_ok=True)
        driver_page = next(page for page in SITE.pages() if page.startswith("driver-pilot000"))
        for page, label in (("index.html", "index"), ("track-299.html", "track"), (driver_page, "driver")):
            for width, form in ((1280, "desktop"), (375, "phone")):
                for dark in (False, True):
                    emulate(width, dark)
                    BROWSER.get(SITE.url(page))
                    height = BROWSER.execute_script("return Math.min(document.documentElement.scrollHeight, 4000)")
                    BROWSER.execute_cdp_cmd("Emulation.setDeviceMetricsOverride",
                                            {"width": width, "height": height, "deviceScaleFactor": 1,
                                             "mobile": width < 600})
                    shot = os.path.join(SHOTS, f"{label}-{form}-{'dark' if dark else 'light'}.png")
                    self.assertTrue(BROWSER.save_screenshot(shot), shot)


class PublishedFolder(unittest.TestCase):
    def test_second_run_on_same_data_writes_the_same_bytes(self):
        before = digests(SITE.site)
        racr(SITE.home, "publish", SITE.site, "--title", "Club <&> \"Night\"")
        self.assertEqual(digests(SITE.site), before)

    def test_a_folder_with_other_files_is_refused_and_left_alone(self):
        folder = os.path.join(SITE.root, "mine")
        os.mkdir(folder)
        with open(os.path.join(folder, "notes.txt"), "w") as notes:
            notes.write("keep me")
        result = racr(SITE.home, "publish", folder, check=False)
        self.assertEqual(result.returncode, 1)
        self.assertIn("not published by racr", result.stderr)
        self.assertEqual(os.listdir(folder), ["notes.txt"])
        shutil.rmtree(folder)

    def test_a_failed_run_leaves_the_previous_site(self):
        home = os.path.join(SITE.root, "broken-home")
        shutil.copytree(SITE.home, home)
        racr(home, "query", "DROP VIEW weeklybest")
        before = digests(SITE.site)
        result = racr(home, "publish", SITE.site, check=False)
        self.assertEqual(result.returncode, 1)
        self.assertIn("weeklybest", result.stderr)
        self.assertEqual(digests(SITE.site), before)
        self.assertEqual(sorted(os.listdir(SITE.root)), ["broken-home", "club", "home"], "no half site left beside it")
        shutil.rmtree(home)

    def test_weekly_bests_follow_the_shard(self):
        home = os.path.join(SITE.root, "shard-home")
        shutil.copytree(SITE.home, home)
        racr(home, "query", "INSERT INTO RACR (driver, car, date, trackid, multiplayer, besttime, shard) VALUES "
             "('kestrel', 'Chicane Only Car', '2011-07-05  10:00:00', 299, 1, '1.5', 'CHICANE')")
        try:
            for shard, shown in (("APEX", False), ("CHICANE", True)):
                site = os.path.join(SITE.root, shard)
                racr(home, "publish", site, "--shard", shard)
                with open(os.path.join(site, "weeks.html"), encoding="utf-8") as page:
                    self.assertEqual("Chicane Only Car" in page.read(), shown, shard)
                shutil.rmtree(site)
        finally:
            shutil.rmtree(home)

    def test_a_club_database_on_postgresql_gives_the_same_site(self):
        with open(PG_CLUSTER) as env:
            cluster = dict(line.strip().split("=", 1) for line in env if "=" in line)
        name = f"publish{os.getpid()}"
        subprocess.run([os.path.join(cluster["PGTEST_BIN"], "createdb"), "-h", cluster["PGTEST_SOCKET"],
                        "-p", cluster["PGTEST_PORT"], "-U", cluster["PGTEST_USER"], name], check=True)
        uri = f"postgresql://{cluster['PGTEST_USER']}@127.0.0.1:{cluster['PGTEST_PORT']}/{name}"
        racr(SITE.home, "--database", uri, "merge", os.path.join(SITE.home, "RACR.db"))
        site = os.path.join(SITE.root, "pgclub")
        racr(SITE.home, "--database", uri, "publish", site, "--title", "Club <&> \"Night\"")
        try:
            ours, theirs = digests(site), digests(SITE.site)
            self.assertEqual([name for name in theirs if ours.get(name) != theirs[name]], [])
            self.assertEqual(sorted(ours), sorted(theirs))
        finally:
            shutil.rmtree(site)


if __name__ == "__main__":
    unittest.main(verbosity=2)
