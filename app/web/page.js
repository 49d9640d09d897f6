// The page's side of the front-end: the form in the DOM, its input, and
// the canvas. Called from Page.cpp; calls back through the exports there.
var LibraryKestivoPage = {
  $kestivoPage: {
    form: null,
    canvas: null,
    context: null,
    buttons: [],      // by their index in the command table
    frame: 0,         // the animation frame asked for, if any
    pressStamp: 0,    // when the pointer's last press began
    codes: {},        // a number for each key's code, to tell held keys apart
    // An element with these attributes and text, added to parent.
    add: function(parent, tag, attributes, text) {
      var element = document.createElement(tag);
      for (var name in attributes)
        element.setAttribute(name, attributes[name]);
      element.textContent = text || '';
      return parent.appendChild(element);
    },
    // A press of a button, by pointer or key, at the event's time stamp.
    press: function(button, stamp) {
      return Module['_kestivo_press'](button, stamp) !== 0;
    },
    discards: function(stamp) {
      return Module['_kestivo_discards'](stamp) !== 0;
    },
    // The frame clock: animation frames stop by themselves while the page
    // is hidden, and are not asked for while nothing is drawn.
    tick: function(now) {
      kestivoPage.frame = requestAnimationFrame(kestivoPage.tick);
      Module['_kestivo_frame'](now);
    },
    // The form fitted to the window, at the device-pixel ratio of the screen
    // the page is on. A move to another screen, a zoom, a rotation or a
    // resize fits it again; browsers tell of a new ratio by a media query, a
    // resize, or neither until they next render, so it is also looked at
    // after each routine. (Not the visual viewport: a pinch-zoom is the
    // user's, and leaves the form as it is.)
    fitted: '',
    refit: function() {
      var page = kestivoPage, root = document.documentElement;
      if (!page.form.isConnected) // ended
        return;
      var ratio = window.devicePixelRatio || 1, face = page.labelFace();
      var key = [root.clientWidth, root.clientHeight, ratio, face.ascent, face.descent].join();
      if (key === page.fitted)
        return;
      page.fitted = key;
      Module['_kestivo_fit'](root.clientWidth, root.clientHeight, ratio, face.ascent, face.descent);
    },
    // The labels' face's ascent and descent in ems, as the browser lays
    // them out (the face loads after the page: fitted again when it has).
    measure: null,
    labelFace: function() {
      var label = document.getElementById('Label1');
      var context = kestivoPage.measure || (kestivoPage.measure = document.createElement('canvas').getContext('2d'));
      context.font = 'bold 100px ' + getComputedStyle(label).fontFamily;
      var m = context.measureText(label.textContent);
      return m.fontBoundingBoxAscent ? { ascent: m.fontBoundingBoxAscent / 100, descent: m.fontBoundingBoxDescent / 100 }
                                     : { ascent: 1, descent: 0 };
    },
    watchScale: function() {
      var query;
      var changed = function() {
        query.removeEventListener('change', changed);
        kestivoPage.refit();
        watch();
      };
      var watch = function() {
        query = window.matchMedia('(resolution: ' + (window.devicePixelRatio || 1) + 'dppx)');
        query.addEventListener('change', changed);
      };
      watch();
      window.addEventListener('resize', kestivoPage.refit);
      // A scroll bar coming or going changes the room left, with no resize.
      new ResizeObserver(function() { kestivoPage.refit(); }).observe(document.documentElement);
      document.fonts.addEventListener('loadingdone', kestivoPage.refit);
    },
    // A key for the form: the session says what comes of it. (WebKit gives
    // Shift+Tab the key "Unidentified": its code says Tab.)
    onKey: function(event) {
      var page = kestivoPage;
      var is = function(key, code) { return event.key === key || event.code === code; };
      var key = is('Tab', 'Tab') ? 0 : is(' ', 'Space') ? 1
              : is('Enter', 'Enter') || event.code === 'NumpadEnter' ? 2 : 3;
      var code = page.codes[event.code] || (page.codes[event.code] = Object.keys(page.codes).length + 1);
      var action = Module['_kestivo_key'](key, code, event.type === 'keydown', event.repeat, event.shiftKey,
                                          event.ctrlKey || event.altKey || event.metaKey, event.timeStamp,
                                          page.buttons.indexOf(document.activeElement));
      var index = (action >> 3) - 1, button = page.buttons[index];
      // KeyAction's: Pass, Swallow, HoldBack, Focus, Press, Release, Click.
      switch (action & 7) {
      case 0: return;
      case 3: button.focus(); break;
      case 4: button.classList.add('pushed'); break;
      case 5: button.classList.remove('pushed'); break;
      case 6: button.classList.remove('pushed'); page.press(index, event.timeStamp); break;
      }
      event.preventDefault();
      event.stopPropagation();
    },
  },

  kestivo_js_form: function(caption, pictureName) {
    var page = kestivoPage;
    var title = document.title = UTF8ToString(caption);
    var root = document.getElementById('kestivo');
    root.textContent = '';
    var window_ = page.window = page.add(root, 'div', {'class': 'window'});
    page.caption = page.add(window_, 'div', {'class': 'caption', id: 'caption'}, title);
    var form = page.form = page.add(window_, 'div', {
      id: 'Form1', 'class': 'form', role: 'group', 'aria-labelledby': 'caption', 'aria-busy': 'false'});
    page.canvas = page.add(form, 'canvas', {id: 'picture', role: 'img', 'aria-label': UTF8ToString(pictureName),
                                            'aria-describedby': 'picture-description'});
    page.add(form, 'span', {id: 'picture-description', hidden: ''});
    // Desynchronized: a frame that changes only the picture goes to the
    // screen without a commit of the whole page's layers. Read frequently:
    // a canvas in memory, where each frame's many small rectangles are
    // copies, not uploads (WebKit with no GPU drew at 8 frames a second).
    page.context = page.canvas.getContext('2d', {alpha: false, desynchronized: true, willReadFrequently: true});
    form.addEventListener('keydown', page.onKey, true);
    form.addEventListener('keyup', page.onKey, true);
    window.addEventListener('blur', function() {
      Module['_kestivo_keyboard_lost']();
      page.buttons.forEach(function(b) { b.classList.remove('pushed'); });
    });
    // A pointer given while drawing neither presses nor moves the focus,
    // nor shows its button down. A click is judged by when its press began:
    // one begun before a routine's end never clicks, however late released.
    ['pointerdown', 'mousedown', 'contextmenu', 'click', 'auxclick', 'dblclick'].forEach(function(type) {
      form.addEventListener(type, function(event) {
        if (type === 'pointerdown')
          page.pressStamp = event.timeStamp;
        var discarded = page.discards(/click$/.test(type) ? page.pressStamp : event.timeStamp);
        if (/down$/.test(type))
          form.classList.toggle('discarding', discarded);
        if (discarded) {
          event.preventDefault();
          event.stopPropagation();
        }
      }, true);
    });
  },

  // kind: 0 button, 1 label, 2 shape; button: its index in the command table.
  kestivo_js_control: function(kind, name, text, rgb, help, button) {
    var page = kestivoPage;
    var id = UTF8ToString(name);
    var colour = '#' + ('00000' + rgb.toString(16)).slice(-6);
    if (kind === 1)
      return page.add(page.form, 'div', {id: id, 'class': 'label', style: 'color: ' + colour}, UTF8ToString(text));
    if (kind === 2)
      return page.add(page.form, 'div', {id: id, 'class': 'shape', style: 'border-color: ' + colour,
                                         'aria-hidden': 'true'});
    // A description only: hidden, it is not read again as loose text.
    page.add(page.form, 'span', {id: id + '-help', hidden: ''}, UTF8ToString(help));
    page.buttons[button] = page.add(page.form, 'button', {id: id, type: 'button', 'aria-describedby': id + '-help'},
                                    UTF8ToString(text));
    page.buttons[button].addEventListener('click', function(event) {
      // Keys press through onKey; this is a pointer's click.
      if (event.detail > 0 || event.pointerType)
        page.press(button, event.timeStamp);
    });
  },

  kestivo_js_frame: function(fit, margin, border, captionHeight, captionFont, width, height) {
    var page = kestivoPage;
    document.body.style.padding = margin + 'px';
    page.window.style.padding = border + 'px'; // a border's width would be rounded
    page.caption.style.cssText = 'height: ' + captionHeight + 'px; line-height: ' + captionHeight + 'px; font-size: ' +
                                 captionFont + 'px; padding: 0 ' + (captionHeight * 0.3) + 'px';
    page.form.style.width = width + 'px';
    page.form.style.height = height + 'px';
    page.form.style.setProperty('--u', fit + 'px');
  },

  kestivo_js_place: function(name, left, top, width, height, fontSize, lineHeight) {
    var style = document.getElementById(UTF8ToString(name)).style;
    style.left = left + 'px';
    style.top = top + 'px';
    style.width = width + 'px';
    style.height = height + 'px';
    style.fontSize = fontSize + 'px';
    if (lineHeight)
      style.lineHeight = lineHeight + 'px';
  },

  kestivo_js_ready: function() {
    var page = kestivoPage;
    page.form.querySelector('button').focus({focusVisible: true}); // the first in tab order
    page.refit();
    page.watchScale();
  },

  kestivo_js_canvas: function(width, height, ratio, scale) {
    var page = kestivoPage, canvas = page.canvas;
    canvas.dataset.scale = scale; // the picture's, for tests to draw it alike
    canvas.width = width;
    canvas.height = height;
    canvas.style.width = (width / ratio) + 'px';
    canvas.style.height = (height / ratio) + 'px';
    // The frame's line is one device pixel at any scale.
    page.form.style.setProperty('--device-pixel', (1 / ratio) + 'px');
  },

  kestivo_js_blit: function(rgba, width, height, rects, count) {
    var image = new ImageData(new Uint8ClampedArray(HEAPU8.buffer, rgba, width * height * 4), width, height);
    var context = kestivoPage.context;
    for (var i = 0; i < count; ++i) {
      var r = (rects >> 2) + 4 * i;
      context.putImageData(image, 0, 0, HEAP32[r], HEAP32[r + 1], HEAP32[r + 2], HEAP32[r + 3]);
    }
  },

  kestivo_js_busy: function(busy) {
    var page = kestivoPage;
    page.form.setAttribute('aria-busy', busy ? 'true' : 'false');
    page.form.classList.toggle('busy', !!busy);
    // Not disabled: a disabled button would drop the focus.
    page.buttons.forEach(function(b) { b.setAttribute('aria-disabled', busy ? 'true' : 'false'); });
    if (!busy)
      setTimeout(page.refit, 0);
  },

  kestivo_js_describe: function(text) {
    document.getElementById('picture-description').textContent = UTF8ToString(text);
  },

  kestivo_js_frames: function(on) {
    var page = kestivoPage;
    if (!on) {
      cancelAnimationFrame(page.frame);
      page.frame = 0;
    } else if (!page.frame) {
      page.frame = requestAnimationFrame(page.tick);
    }
  },

  kestivo_js_error: function(title, message) {
    var dialog = document.getElementById('error');
    document.getElementById('error-title').textContent = UTF8ToString(title);
    document.getElementById('error-message').textContent = UTF8ToString(message);
    dialog.addEventListener('close', function() { Module['_kestivo_error_dismissed'](); }, {once: true});
    dialog.showModal();
  },

  kestivo_js_ended: function(status) {
    document.getElementById('kestivo').textContent = '';
    document.body.style.padding = '';
    var line = document.getElementById('ended');
    line.hidden = false;
    document.title = line.firstChild.textContent.trim();
    line.dataset.status = status;
    document.getElementById('restart').focus();
  },
};
autoAddDeps(LibraryKestivoPage, '$kestivoPage');
mergeInto(LibraryManager.library, LibraryKestivoPage);
