"""Start-up as the user sees it: the frame's title, the panel's buttons and the eight slot
labels of the demo set, idle squares on the map, the Frequency check mark set shortly after
start-up, and the close box asking "Quit ?" once before the program ends with exit code 0."""
import e2e
from e2e import check, require


def scenario():
    with e2e.Session("startup") as s:
        rc, _ = s.driver("wait-title", e2e.TITLE_DEMO, 20000)
        check(rc == 0, "the title bar reads %r" % e2e.TITLE_DEMO)

        labels = [s.text(e2e.ID_LABEL(n)) for n in range(1, 9)]
        check(labels == e2e.STARTUP_SET, "slot labels are the start-up set (got %r)" % labels)
        for n in range(1, 9):
            s.expect_text(e2e.ID_LOAD(n), "Load Wave", "Load Wave button of slot %d" % n)
            s.expect_text(e2e.ID_NOWAVE(n), "No Wave", "No Wave button of slot %d" % n)
            s.expect_text(116 + n, str(n), "number %d beside the map" % n)
        s.expect_text(e2e.ID_PLAY, e2e.PLAY, "the play button")
        s.expect_text(e2e.ID_SYNC, "Sync", "the Sync button")

        # Every target is 1 at start, so the visible squares are idle blue. Under Wine's font
        # metrics the map control is smaller than 350 pixels: only the squares of slots 1, 2,
        # 3 and 8 lie inside it.
        g = s.map_geometry()
        w, h = g["mapclient"]
        e2e.figure("map control size", "%dx%d" % (w, h), "pixels")
        visible = [n for n, (x, y) in e2e.SQUARE_LEFT_TOP.items() if x + 20 <= w and y + 20 <= h]
        require(len(visible) >= 4, "at least four squares are inside the map control")
        for n in visible:
            got = s.square_colour(n)
            check(got == e2e.IDLE_BLUE, "square of slot %d is idle blue (got %r)" % (n, got))
        shot = s.screenshot("start")
        fl, ft, fr, fb = g["frame"]
        shot.crop(max(fl, 0), max(ft, 0), fr, fb, shot.png.replace(".png", "-frame.png"))

        # The deferred menu step has run long ago (100 ms after set-up): 11025 is checked.
        rect = s.open_frequency_menu()
        menu_shot = s.screenshot("frequency-menu")
        marks = e2e.menu_check_marks(menu_shot, rect, 3)
        e2e.figure("check-column ink of 11025, 22050, 44100", marks, "pixels")
        check(marks[0] >= 6 and marks[1] == 0 and marks[2] == 0,
              "only \"&11025\" carries a check mark (ink %r)" % marks)
        check(s.close_menu(), "the menu closes again")
        check(s.alive(), "the program still runs after the menu closed")

        # The close box asks once; OK ends the program.
        s.act("close")
        box = s.wait_box(e2e.QUIT_TEXT)
        check(box == (e2e.TITLE_AT_START, e2e.QUIT_TEXT),
              "closing asks \"Quit ?\" captioned %r (got %r)" % (e2e.TITLE_AT_START, box))
        s.answer(e2e.QUIT_TEXT, "ok")
        code = s.wait_exit(30)
        check(code == 0, "OK ends the program with exit code 0 (got %r)" % code)


e2e.run(scenario)
