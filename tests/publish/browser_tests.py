#!/usr/bin/python3
"""The club pages as a reader sees them: made by `racr publish` from results the simulator served and
`racr import` stored (plus hostile driver names written with SQL), opened from file:// in headless
Chromium through chromedriver."""

import hashlib
import json
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
# node_modules with vnu-jar and axe-core, which install_checkers.sh puts into the build folder.
CHECKERS = os.environ["WEB_CHECKERS"]
VNU = os.path.join(CHECKERS, "vnu-jar", "build", "dist", "vnu.jar")
AXE = os.path.join(CHECKERS, "axe-core", "axe.min.js")
JAVA = "/usr/bin/java"

HOSTILE = ["../x", "<b>", "a b", "東京", "CON", "."]
HOSTILE_STATUS = "<script>document.title='hacked'</script> & \"quotes\""


def racr(home, *args, check=True):
    result = subprocess.run([RACR, "--home", home, *args], capture_output=True, text=True, timeout=120)
    if check and result.returncode != 0:
        raise AssertionError(f"racr {' '.join(args)} ended with {result.returncode}: {result.stderr}")
    return result


def seconds_of(lap):
    """A lap time as the pages show it ("1:35.100", "59.990") in seconds; None for another text."""
    match = re.fullmatch(r"(?:([1-9]\d*):([0-5]\d)|(\d{1,2}))\.(\d{3})", lap)
    if not match:
        return None
    minutes, padded, plain, millis = match.groups()
    if minutes is None and int(plain) >= 60:
        return None
    return int(minutes or 0) * 60 + int(padded or plain) + int(millis) / 1000


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

    def page_types(self):
        """One page of each kind: the index, the weekly bests, a track with both race types and
        charts, a driver with a chart and one with hostile statistics."""
        driver_page = next(page for page in self.pages() if page.startswith("driver-pilot000"))
        hostile = [page for page in self.pages() if page.startswith("driver-") and "pilot" not in page and "kestrel" not in page]
        return ["index.html", "weeks.html", "track-299.html", driver_page] + hostile


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
            # The result behind each best: the earliest of equal times, as the record.
            firsts = racr(SITE.home, "query",
                          "SELECT driver, car, date FROM RACR r WHERE "
                          f"trackid={track} AND multiplayer={multiplayer} AND CAST(besttime AS REAL) = "
                          "(SELECT MIN(CAST(besttime AS REAL)) FROM RACR WHERE driver=r.driver AND "
                          f"trackid={track} AND multiplayer={multiplayer}) ORDER BY date DESC, id DESC"
                          ).stdout.splitlines()[1:]
            setting = {}
            for row in firsts:
                driver, car, date = row.rsplit(";", 2)
                setting[driver] = (car, " ".join(date.split()))
            expected = {}
            for row in rows:
                driver, best, count = row.rsplit(";", 2)
                expected[driver] = (round(float(best), 3), int(count)) + setting[driver]
            self.assertTrue(expected, f"no results on track {track}")
            BROWSER.get(SITE.url(f"track-{track}.html"))
            shown = {}
            for row in BROWSER.find_elements(By.CSS_SELECTOR, f"section.board.{section} > div.wide > table > tbody > tr"):
                driver = row.find_element(By.CSS_SELECTOR, "th").text
                cells = row.find_elements(By.CSS_SELECTOR, "td")
                best = row.find_element(By.CSS_SELECTOR, "td.best").text
                self.assertIsNotNone(seconds_of(best), f"{best} is no lap time (m:ss.mmm from a minute on)")
                shown[driver] = (seconds_of(best), int(row.find_element(By.CSS_SELECTOR, "td.results").text),
                                 cells[-2].text, " ".join(cells[-1].text.split()))
            self.assertEqual(shown, expected, f"track {track}, {section}")
            bests = [values[0] for values in shown.values()]
            ranks = [seconds_of(cell.text) for cell in BROWSER.find_elements(
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

    def test_every_page_type_has_no_accessibility_violation_light_dark_desktop_and_phone(self):
        self.assertTrue(os.path.isfile(AXE), f"{AXE} is missing: the test publish_web_checkers installs it "
                        "(ctest -R publish_ runs it first); see its output")
        with open(AXE, encoding="utf-8") as script:
            axe = script.read()
        BROWSER.set_script_timeout(60)
        found = []
        for name in SITE.page_types():
            for width in (1280, 375):
                for dark in (False, True):
                    emulate(width, dark)
                    BROWSER.get(SITE.url(name))
                    BROWSER.execute_script(axe)
                    # The charts' value tables are checked open, as a reader opens them.
                    BROWSER.execute_script("document.querySelectorAll('details').forEach(d => d.open = true)")
                    violations = BROWSER.execute_async_script(
                        "const done = arguments[arguments.length - 1];"
                        "axe.run(document, {resultTypes: ['violations']}).then(r => done(r.violations.map("
                        "v => v.id + ': ' + v.help + ' at ' + v.nodes.map(n => n.target.join(' ')).join(', '))),"
                        " e => done(['axe failed: ' + e]))")
                    found += [f"{name} {width} px {'dark' if dark else 'light'}: {v}" for v in violations]
        self.assertEqual(found, [])

    def test_chart_texts_are_readable_on_a_phone_and_faster_is_drawn_lower(self):
        emulate(375, False)
        BROWSER.get(SITE.url("track-299.html"))
        sizes = BROWSER.execute_script(
            "return [...document.querySelectorAll('svg.chart text')].map(t => "
            "t.getBoundingClientRect().height && parseFloat(getComputedStyle(t).fontSize) * t.getScreenCTM().a)")
        self.assertTrue(sizes)
        self.assertGreaterEqual(min(sizes), 11, "axis labels in px at 375 px")
        for chart in BROWSER.find_elements(By.CSS_SELECTOR, "svg.chart"):
            caption = chart.find_element(By.XPATH, "ancestor::figure/figcaption").text
            self.assertIn("lower is faster", caption)
            # The time labels stand over their grid lines: the longer the time, the higher.
            labels = [(label.rect["y"], seconds_of(label.text)) for label in chart.find_elements(By.CSS_SELECTOR, "text")
                      if seconds_of(label.text) is not None]
            self.assertGreaterEqual(len(labels), 2)
            by_height = [time for _, time in sorted(labels)]
            self.assertEqual(by_height, sorted(by_height, reverse=True), caption)
            # The fastest lap of the chart is the lowest dot, on the bottom grid line; the slowest the highest.
            dots, grid = BROWSER.execute_script(
                "const ys = s => [...arguments[0].querySelectorAll(s)].map(e => e.getBoundingClientRect());"
                "return [ys('path.dot'), ys('line.grid')]", chart)
            self.assertAlmostEqual(max(dot["bottom"] for dot in dots), max(line["top"] for line in grid), delta=1)
            self.assertAlmostEqual(min(dot["top"] for dot in dots), min(line["top"] for line in grid), delta=1)

    def test_weekly_bests_have_readable_titles_and_the_week_shows_on_a_phone(self):
        emulate(375, False)
        BROWSER.get(SITE.url("weeks.html"))
        titles = [th.text for th in BROWSER.find_elements(By.CSS_SELECTOR, "thead th")]
        self.assertEqual(titles, ["Week", "Track", "Race", "Best time", "Driver", "Car", "Date"])
        first = BROWSER.find_element(By.CSS_SELECTOR, "tbody tr th")
        self.assertRegex(first.text, r"^\d{4}-W\d{2}$")
        self.assertLessEqual(first.rect["x"] + first.rect["width"], 375, "the week is on the screen")
        for best in BROWSER.find_elements(By.CSS_SELECTOR, "tbody td:nth-of-type(3)"):
            self.assertTrue(seconds_of(best.text) is not None or best.text in ("", "DNF"), best.text)

    def test_the_index_says_what_and_how_current_and_every_page_has_a_preview(self):
        newest = racr(SITE.home, "query", "SELECT MAX(substr(date, 1, 10)) FROM RACR").stdout.splitlines()[1]
        BROWSER.get(SITE.url("index.html"))
        about = BROWSER.find_element(By.CSS_SELECTOR, "main > p").text
        self.assertIn("Club <&> \"Night\"", about)
        self.assertEqual(BROWSER.find_element(By.CSS_SELECTOR, "main > p time").get_attribute("datetime"), newest)
        for name in SITE.pages():
            BROWSER.get(SITE.url(name))
            meta = BROWSER.execute_script(
                "const m = {}; document.querySelectorAll('meta[name=description], meta[property^=\"og:\"]')"
                ".forEach(e => m[e.getAttribute('name') || e.getAttribute('property')] = e.content); return m")
            self.assertEqual(meta.get("og:title"), BROWSER.title, name)
            self.assertEqual(meta.get("og:description"), meta.get("description"), name)
            self.assertGreater(len(meta.get("description", "")), 30, name)

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
    def test_every_page_is_valid_html(self):
        self.assertTrue(os.path.isfile(VNU), f"{VNU} is missing: the test publish_web_checkers installs it "
                        "(ctest -R publish_ runs it first); see its output")
        self.assertTrue(os.access(JAVA, os.X_OK), f"{JAVA} is missing: apt-get install default-jre-headless")
        pages = [os.path.join(SITE.site, name) for name in SITE.pages()]
        result = subprocess.run([JAVA, "-jar", VNU, "--format", "json", "--stdout", *pages],
                                capture_output=True, text=True, timeout=240)
        messages = json.loads(result.stdout)["messages"]
        problems = [f"{os.path.basename(urllib.parse.unquote(m.get('url', '')))}:{m.get('lastLine')}: {m['message']}"
                    for m in messages if m["type"] != "info" or m.get("subType") == "warning"]
        self.assertEqual(problems, [])
        self.assertGreater(len(pages), 4)

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
