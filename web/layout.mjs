// The terminal's size on the page: its font follows the width it really has, and its columns and
// rows fill it, on every resize, turn of a phone, zoom, or on-screen keyboard.

const SMALLEST_FONT = 10;  // CSS pixels
const LARGEST_FONT = 15;
const WIDTH_OF_LARGEST_FONT = 640;
const SHRINK = 0.75;

// Below 640 px the font shrinks less than the width: a 360 px phone gets 10 px text and still 58
// columns, and zooming in, which narrows the page in CSS pixels by the zoom factor, still
// enlarges the text at every step (fully up to 200 % on a 1280 px window, then by the zoom
// factor to the power 0.25 until the text is 10 px, then fully again).
export const fontSizeFor = (width) => Math.round(100 * Math.min(LARGEST_FONT,
    Math.max(SMALLEST_FONT, LARGEST_FONT * (Math.max(0, width) / WIDTH_OF_LARGEST_FONT) ** SHRINK))) / 100;

// Where an on-screen keyboard covers the page rather than resizing it, the visual viewport is
// what stays in view: the page is made that high. Pinch-zoom shrinks the visual viewport too,
// and must not refit anything: it is told apart by its scale.
function visibleHeight() {
    const viewport = window.visualViewport;
    if (!viewport || viewport.scale > 1.001) return window.innerHeight;
    return Math.min(window.innerHeight, viewport.height);
}

// The scrollbar's width, less than the terminal's own 14 px (the page's style sets it): on a
// 360 px phone that leaves room for 58 columns.
const SCROLLBAR_WIDTH = 8;

// Columns and rows that fill the container within its padding (where the focus ring is drawn),
// less the scrollbar, in cells of the terminal's font, whose size the terminal's screen shows.
function fit(terminal, container) {
    const screen = terminal.element.querySelector('.xterm-screen').getBoundingClientRect();
    const style = getComputedStyle(container);
    const width = container.clientWidth - parseFloat(style.paddingLeft) - parseFloat(style.paddingRight);
    const height = container.clientHeight - parseFloat(style.paddingTop) - parseFloat(style.paddingBottom);
    const cols = Math.max(2, Math.floor((width - SCROLLBAR_WIDTH) / (screen.width / terminal.cols)));
    const rows = Math.max(1, Math.floor(height / (screen.height / terminal.rows)));
    if (cols !== terminal.cols || rows !== terminal.rows) terminal.resize(cols, rows);
}

// Keeps the terminal fitted; `refitted` is told each time.
export function keepFitted(terminal, container, refitted) {
    const refit = () => {
        document.documentElement.style.setProperty('--visible-height', `${visibleHeight()}px`);
        const fontSize = fontSizeFor(container.clientWidth);
        if (terminal.options.fontSize !== fontSize) terminal.options.fontSize = fontSize;
        fit(terminal, container);
        // A keyboard that covers the page may have scrolled it to show the field: back to the top.
        if (window.scrollY !== 0) window.scrollTo(0, 0);
        refitted();
    };
    new ResizeObserver(refit).observe(container);
    window.visualViewport?.addEventListener('resize', refit);
    window.addEventListener('resize', refit);
    refit();
    return refit;
}
